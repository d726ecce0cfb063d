#pragma once
// Which files the display server may hand out. A file is served only when its real location (every
// symbolic link resolved) is a regular file inside one of the given root folders; "..", links that
// lead out, folders and missing files are all refused the same way. Safe on any thread.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vt::shell {

// The real path of `requested` when it lies inside one of `roots` (each root resolved too; roots
// that do not exist are skipped); nullopt otherwise. `requested` must be absolute.
std::optional<std::filesystem::path> ResolveServedFile(
    const std::filesystem::path& requested, const std::vector<std::filesystem::path>& roots);

// The real path of `requested` when it is one of `files` (each resolved too) and a regular file;
// nullopt otherwise. `requested` must be absolute.
std::optional<std::filesystem::path> ResolveNamedFile(
    const std::filesystem::path& requested, const std::vector<std::filesystem::path>& files);

// The same for a path relative to one root (the display's own files): "css/shell.css".
std::optional<std::filesystem::path> ResolveUnder(const std::filesystem::path& root,
                                                  std::string_view relative);

// The local path of a file: URL ("file:///a/b%20c.gif" -> "/a/b c.gif", "file://localhost/a");
// nullopt for other schemes or hosts.
std::optional<std::filesystem::path> FileUrlToPath(std::string_view url);

std::string PercentEncode(std::string_view text);

// Content type by extension ("text/html; charset=utf-8", "image/gif" ...), octet-stream otherwise.
std::string ContentTypeOf(const std::filesystem::path& file);

}  // namespace vt::shell
