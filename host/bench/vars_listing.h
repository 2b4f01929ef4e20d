// What the bench knows, listed from its own tables: the simulator variables
// (with their dimensions and the units that read them), the unit names, and
// the host key events known by name. `carrier-bench vars` prints the text
// form; docs/variables.md is the Markdown form (`make docs` writes it).
#pragma once

#include <string>

namespace host {

enum class ListingFormat { Text, Markdown };

std::string vars_listing(ListingFormat format);

}  // namespace host
