# Writes OUTPUT in the form that `sha256sum -c` reads: for each of FILES, its
# SHA-256 sum, two spaces and its file name.
#   cmake -D "FILES=a;b" -D OUTPUT=SHA256SUMS -P sha256sums.cmake
set(sums "")
foreach(file IN LISTS FILES)
  file(SHA256 ${file} sum)
  get_filename_component(name ${file} NAME)
  string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE ${OUTPUT} "${sums}")
