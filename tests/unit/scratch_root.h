// A test fixture that runs each test in a scratch simulator root (a temporary
// directory with Gauges/, made the working directory, since the module reads
// its files by fixed relative paths) with every module-wide value at its start
// value (module_reset.h), before and after, and collects the module's
// standard-error lines.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "host/process_services.h"
#include "module_reset.h"

class ScratchRootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedDir = std::filesystem::current_path();
        char scratch[] = "/tmp/carrier_root_XXXXXX";
        ASSERT_NE(mkdtemp(scratch), nullptr);
        root = scratch;
        std::filesystem::create_directory(root / "Gauges");
        std::filesystem::current_path(root);
        hooks.error_line = [this](std::string_view line) { errorLines.emplace_back(line); };
        host::set_process_hooks(&hooks);
        reset_module_values();
    }
    void TearDown() override
    {
        reset_module_values();
        host::set_process_hooks(nullptr);
        std::filesystem::current_path(savedDir);
        std::filesystem::remove_all(root);
    }

    std::filesystem::path savedDir, root;
    host::ProcessHooks hooks;
    std::vector<std::string> errorLines;  // the module's standard-error lines, in order
};
