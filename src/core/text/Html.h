#pragma once
// Text put into an HTML page: the five characters that mean markup written
// as references, so that a name from a file or the machine shows as text.

#include <string>
#include <string_view>

namespace qbx {

// `text` with & < > " ' escaped; every other byte as it is.
std::string htmlEscape(std::string_view text);

}  // namespace qbx
