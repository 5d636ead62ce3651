// An in-memory registry for the script interpreter: case-blind names, handles
// that must all be closed, read-only keys and handles, keys deleted under an
// open handle, and a double-byte code page.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "fuzz_support.h"
#include "registration/registry_script.h"

using namespace korvat;

class MemoryKeyStore final : public RegistryKeyStore {
 public:
  static constexpr long kNotFound = 2, kAccessDenied = 5, kInvalidHandle = 6, kKeyDeleted = 1018;

  MemoryKeyStore() {
    for (Handle& root : m_roots) root.node = std::make_shared<Node>();
  }
  ~MemoryKeyStore() override {
    for (Handle* handle : m_open) delete handle;
  }
  size_t open_handles() const { return m_open.size(); }
  // No key below a root holds a named value; with `keys`, keys may stay.
  bool Holds(bool keys) const {
    return std::all_of(m_roots, m_roots + kRoots, [&](const Handle& root) {
      return root.node->values.empty() && Bare(*root.node, keys);
    });
  }
  // Adds `path` ("A\\B") below `root`, the last key read-only if asked.
  void Add(ScriptRoot root, const std::string& path, bool read_only = false) {
    Node* node = m_roots[static_cast<int>(root)].node.get();
    for (size_t start = 0, end; start <= path.size(); start = end + 1) {
      end = std::min(path.find('\\', start), path.size());
      auto& child = node->children[Fold(path.substr(start, end - start).c_str())];
      if (!child) child = std::make_shared<Node>();
      node = child.get();
    }
    node->read_only = read_only;
  }

  Key RootKey(ScriptRoot root) override { return &m_roots[static_cast<int>(root)]; }
  long OpenKey(Key parent, const char* name, Access access, Key* key) override {
    Handle* from;
    if (long status = Use(parent, false, &from)) return status;
    auto found = from->node->children.find(Fold(name));
    if (*name == '\0' || found == from->node->children.end()) return kNotFound;
    const bool write = access != Access::kRead;
    if (write && found->second->read_only) return kAccessDenied;
    *key = *m_open.insert(new Handle{found->second, write}).first;
    return 0;
  }
  long CreateKey(Key parent, const char* name, Key* key) override {
    Handle* from;
    if (long status = Use(parent, false, &from)) return status;
    if (*name == '\0') return kNotFound;
    if (from->node->children.count(Fold(name)) == 0) {
      if (!from->writable) return kAccessDenied;
      from->node->children[Fold(name)] = std::make_shared<Node>();
    }
    return OpenKey(parent, name, Access::kAll, key);
  }
  long CloseKey(Key key) override {
    if (m_open.erase(static_cast<Handle*>(key)) == 0) std::abort();  // closed twice, or a root
    delete static_cast<Handle*>(key);
    return 0;
  }
  long SetValue(Key key, const char* name, uint32_t type, const void* data,
                uint32_t size) override {
    Handle* handle;
    if (long status = Use(key, true, &handle)) return status;
    handle->node->values[Fold(name)] =
        std::to_string(type) + std::string(static_cast<const char*>(data), size);
    return 0;
  }
  long DeleteValue(Key key, const char* name) override {
    Handle* handle;
    if (long status = Use(key, true, &handle)) return status;
    return handle->node->values.erase(Fold(name)) != 0 ? 0 : kNotFound;
  }
  long DeleteKey(Key parent, const char* name) override { return Erase(parent, name, false); }
  long DeleteSubTree(Key parent, const char* name) override { return Erase(parent, name, true); }
  bool HasSubKeys(Key key) override {
    Handle* handle;
    return Use(key, false, &handle) != 0 || !handle->node->children.empty();
  }
  bool IsLeadByte(unsigned char c) override { return IsShiftJisLeadByte(c); }
  // Decimal digits that fit in 32 bits; anything else is 0.
  uint32_t ParseDword(const char* text) override {
    char* end = nullptr;
    const unsigned long long number = std::strtoull(text, &end, 10);
    return *text >= '0' && *text <= '9' && *end == '\0' && number <= 0xFFFFFFFFu ? number : 0;
  }

 private:
  struct Node {
    bool read_only = false, deleted = false;
    std::map<std::string, std::string> values;
    std::map<std::string, std::shared_ptr<Node>> children;
  };
  struct Handle {
    std::shared_ptr<Node> node;
    bool writable = true;
  };
  static constexpr int kRoots = 7;

  static std::string Fold(const char* name) {
    std::string folded = name == nullptr ? "" : name;
    for (char& c : folded) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    return folded;
  }
  // The handle behind an open key or a root, while its key still exists.
  long Use(Key key, bool write, Handle** handle) {
    *handle = static_cast<Handle*>(key);
    const bool root = *handle >= m_roots && *handle < m_roots + kRoots;
    if (!root && m_open.count(*handle) == 0) return kInvalidHandle;
    if ((*handle)->node->deleted) return kKeyDeleted;
    return write && !(*handle)->writable ? kAccessDenied : 0;
  }
  // One key without sub-keys, or a whole tree; a read-only key stops either.
  long Erase(Key parent, const char* name, bool tree) {
    Handle* from;
    if (long status = Use(parent, false, &from)) return status;
    auto found = from->node->children.find(Fold(name));
    if (found == from->node->children.end()) return kNotFound;
    Node* node = found->second.get();
    if (tree ? !EraseChildren(node) : node->read_only || !node->children.empty()) {
      return kAccessDenied;
    }
    node->deleted = true;
    from->node->children.erase(found);
    return 0;
  }
  static bool EraseChildren(Node* node) {
    if (node->read_only) return false;
    while (!node->children.empty()) {
      auto first = node->children.begin();
      if (!EraseChildren(first->second.get())) return false;
      first->second->deleted = true;
      node->children.erase(first);
    }
    return true;
  }
  // Without `keys`, no key; with it, keys holding at most a default value.
  static bool Bare(const Node& node, bool keys) {
    return std::all_of(node.children.begin(), node.children.end(), [&](const auto& child) {
      const auto& values = child.second->values;
      return keys && values.size() <= values.count("") && Bare(*child.second, keys);
    });
  }

  Handle m_roots[kRoots];
  std::set<Handle*> m_open;
};
