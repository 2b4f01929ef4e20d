// The listing of what the bench knows, and the doc generated from it.
#include "host/build_paths.h"
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "host/panel/calculator.h"
#include "host/world/sim_vars.h"
#include "host/world/units.h"
#include "host/bench/vars_listing.h"

namespace {

TEST(VarsListing, EveryTableRowIsListed)
{
    for (auto format : {host::ListingFormat::Text, host::ListingFormat::Markdown}) {
        const std::string listing = host::vars_listing(format);
        const char* quote = format == host::ListingFormat::Markdown ? "`" : "";
        for (const host::SimVarInfo& var : host::all_sim_vars())
            EXPECT_NE(listing.find(quote + var.name + quote), std::string::npos) << var.name;
        for (const auto& [alias, name] : host::sim_var_aliases())
            EXPECT_NE(listing.find(quote + alias + quote), std::string::npos) << alias;
        for (const host::UnitName& unit : host::all_units())
            EXPECT_NE(listing.find(std::string(quote) + unit.name + quote), std::string::npos) << unit.name;
        for (const auto& [name, id] : host::all_key_events())
            EXPECT_NE(listing.find(quote + name + quote), std::string::npos) << name;
    }
}

// docs/variables.md is the Markdown listing; `make docs` writes it again
// when a table changes.
TEST(VarsListing, TheDocIsCurrent)
{
    std::ifstream in(std::string(CARRIER_SOURCE_DIR) + "/docs/variables.md");
    ASSERT_TRUE(in) << "docs/variables.md is missing: run make docs";
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_TRUE(text.str() == host::vars_listing(host::ListingFormat::Markdown))
        << "docs/variables.md is not the listing of the bench's tables: run make docs";
}

}  // namespace
