// An in-memory registry for the registry script interpreter's native build:
// keys named without regard to case, handles that must all be closed again,
// read-only keys, and a double-byte code page, so that every path of the
// interpreter runs without Windows.
#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "registration/registry_script.h"

class MemoryKeyStore final : public RegistryKeyStore {
 public:
  // Windows status codes the store answers with.
  static constexpr long kNotFound = 2, kAccessDenied = 5, kInvalidHandle = 6, kKeyDeleted = 1018;

  struct Node {
    bool read_only = false;
    bool deleted = false;
    std::map<std::string, std::pair<uint32_t, std::string>> values;
    std::map<std::string, std::shared_ptr<Node>> children;
  };

  MemoryKeyStore() {
    for (auto& root : roots_) root.node = std::make_shared<Node>();
  }
  ~MemoryKeyStore() override {
    for (Handle* handle : open_) delete handle;
  }

  size_t open_handles() const { return open_.size(); }

  // Adds `path` ("A\\B") below `root`, the last key read-only if asked.
  Node* Add(ScriptRoot root, const std::string& path, bool read_only = false) {
    Node* node = roots_[static_cast<int>(root)].node.get();
    size_t start = 0;
    while (start <= path.size()) {
      size_t end = path.find('\\', start);
      if (end == std::string::npos) end = path.size();
      auto& child = node->children[Fold(path.substr(start, end - start))];
      if (!child) child = std::make_shared<Node>();
      node = child.get();
      start = end + 1;
    }
    node->read_only = read_only;
    return node;
  }
  Node* Find(ScriptRoot root, const std::string& path) {
    Node* node = roots_[static_cast<int>(root)].node.get();
    size_t start = 0;
    while (node != nullptr && start <= path.size()) {
      size_t end = path.find('\\', start);
      if (end == std::string::npos) end = path.size();
      auto found = node->children.find(Fold(path.substr(start, end - start)));
      node = found == node->children.end() ? nullptr : found->second.get();
      start = end + 1;
    }
    return node;
  }

  Key RootKey(ScriptRoot root) override { return &roots_[static_cast<int>(root)]; }

  long OpenKey(Key parent, const char* name, Access access, Key* key) override {
    Handle* from = Check(parent);
    if (from == nullptr) return kInvalidHandle;
    if (from->node->deleted) return kKeyDeleted;
    auto found = from->node->children.find(Fold(name));
    if (*name == '\0' || found == from->node->children.end()) return kNotFound;
    if (access == Access::kAll && found->second->read_only) return kAccessDenied;
    *key = Open(found->second, access == Access::kAll);
    return 0;
  }
  long CreateKey(Key parent, const char* name, Key* key) override {
    Handle* from = Check(parent);
    if (from == nullptr) return kInvalidHandle;
    if (from->node->deleted) return kKeyDeleted;
    if (*name == '\0') return kNotFound;
    auto& child = from->node->children[Fold(name)];
    if (!child) {
      if (!from->writable) {
        from->node->children.erase(Fold(name));
        return kAccessDenied;
      }
      child = std::make_shared<Node>();
    }
    if (child->read_only) return kAccessDenied;
    *key = Open(child, true);
    return 0;
  }
  long CloseKey(Key key) override {
    Handle* handle = static_cast<Handle*>(key);
    if (open_.erase(handle) == 0) std::abort();  // closed twice, or a root
    delete handle;
    return 0;
  }
  long SetValue(Key key, const char* name, uint32_t type, const void* data,
                uint32_t size) override {
    Handle* handle = Check(key);
    if (handle == nullptr) return kInvalidHandle;
    if (handle->node->deleted) return kKeyDeleted;
    if (!handle->writable) return kAccessDenied;
    handle->node->values[Fold(name == nullptr ? "" : name)] = {
        type, std::string(static_cast<const char*>(data), size)};
    return 0;
  }
  long DeleteValue(Key key, const char* name) override {
    Handle* handle = Check(key);
    if (handle == nullptr) return kInvalidHandle;
    if (!handle->writable) return kAccessDenied;
    return handle->node->values.erase(Fold(name == nullptr ? "" : name)) != 0 ? 0 : kNotFound;
  }
  long DeleteKey(Key parent, const char* name) override {
    Handle* from = Check(parent);
    if (from == nullptr) return kInvalidHandle;
    auto found = from->node->children.find(Fold(name));
    if (found == from->node->children.end()) return kNotFound;
    if (!found->second->children.empty() || found->second->read_only) return kAccessDenied;
    found->second->deleted = true;
    from->node->children.erase(found);
    return 0;
  }
  long DeleteSubTree(Key parent, const char* name) override {
    Handle* from = Check(parent);
    if (from == nullptr) return kInvalidHandle;
    auto found = from->node->children.find(Fold(name));
    if (found == from->node->children.end()) return kNotFound;
    if (!DeleteChildren(found->second.get())) return kAccessDenied;
    found->second->deleted = true;
    from->node->children.erase(found);
    return 0;
  }
  bool HasSubKeys(Key key) override {
    Handle* handle = Check(key);
    return handle == nullptr || handle->node->deleted || !handle->node->children.empty();
  }
  // Shift-JIS-like lead bytes.
  bool IsLeadByte(unsigned char c) override {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
  }
  uint32_t ParseDword(const char* text) override {
    uint64_t number = 0;
    if (*text == '\0') return 0;
    for (; *text != '\0'; ++text) {
      if (*text < '0' || *text > '9') return 0;
      number = number * 10 + static_cast<uint64_t>(*text - '0');
      if (number > 0xFFFFFFFFu) return 0;
    }
    return static_cast<uint32_t>(number);
  }

 private:
  struct Handle {
    std::shared_ptr<Node> node;
    bool writable = true;
  };

  static std::string Fold(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
  }
  bool IsRoot(const Handle* handle) const {
    return handle >= roots_ && handle < roots_ + kRoots;
  }
  Handle* Check(Key key) {
    Handle* handle = static_cast<Handle*>(key);
    return IsRoot(handle) || open_.count(handle) != 0 ? handle : nullptr;
  }
  Key Open(const std::shared_ptr<Node>& node, bool writable) {
    Handle* handle = new Handle{node, writable};
    open_.insert(handle);
    return handle;
  }
  bool DeleteChildren(Node* node) {
    if (node->read_only) return false;
    while (!node->children.empty()) {
      auto first = node->children.begin();
      if (!DeleteChildren(first->second.get())) return false;
      first->second->deleted = true;
      node->children.erase(first);
    }
    return true;
  }

  static constexpr int kRoots = 7;
  Handle roots_[kRoots];
  std::set<Handle*> open_;
};
