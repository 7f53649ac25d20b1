// file:// URIs, as file managers and browsers hand them over.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tw {

// The local path a file:// URI names, its %XX escapes decoded to the
// bytes they stand for (a Linux name is bytes, not necessarily UTF-8).
// Nothing when `text` is no file URI, names a file on another host or
// escapes a "/" (%2F) inside a name.
std::optional<std::string> PathFromFileUri(std::string_view text);

}  // namespace tw
