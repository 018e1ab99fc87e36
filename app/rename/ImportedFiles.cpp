#include "rename/ImportedFiles.h"

#include <filesystem>
#include <system_error>

#include "platform/FileOps.h"

namespace quillmere::rename {

namespace fs = std::filesystem;

ImportedFiles::ImportedFiles(const std::string& nativeRoot) {
  std::error_code ec;
  fs::recursive_directory_iterator it(nativeRoot, fs::directory_options::skip_permission_denied,
                                      ec);
  for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
    std::error_code entryError;
    if (!it->is_regular_file(entryError) || it->is_symlink(entryError)) continue;
    const auto size = it->file_size(entryError);
    if (entryError) continue;
    m_bySize[static_cast<std::int64_t>(size)].push_back(it->path().string());
  }
}

std::string ImportedFiles::match(const std::string& nativePath, std::int64_t size) const {
  const auto found = m_bySize.find(size);
  if (found == m_bySize.end()) return {};
  for (const std::string& candidate : found->second)
    if (platform::fileops::sameContents(nativePath, candidate).equal) return candidate;
  return {};
}

}  // namespace quillmere::rename
