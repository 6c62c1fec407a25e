// The application name is the module's file name without folder and extension.
#include <gtest/gtest.h>

#include "Framework.h"

namespace {

TEST(AppName, FromModulePath) {
    struct Row {
        const char* path;
        const char* name;
    } rows[] = {
        {"C:\\Program Files\\Tolmera\\Kestrane.exe", "Kestrane"},
        {"C:\\Windows\\Pellicor.DLL", "Pellicor"},
        {"Pellicor.dll", "Pellicor"},
        {"C:\\dir.with.dots\\noextension", "noextension"},
        {"C:\\x\\name.with.dots.exe", "name.with.dots"},
        {"\\\\server\\share\\Tool 2.exe", "Tool 2"},
        {"C:/mixed/slashes.exe", "slashes"},
    };
    for (const Row& row : rows) EXPECT_STREQ(row.name, AfxAppNameFromPath(row.path)) << row.path;
}

TEST(AppName, OfThisProgram) {
    ASSERT_TRUE(AfxWinInit(GetModuleHandle(NULL), NULL));
    EXPECT_STREQ("framework_tests", AfxGetAppName());
    EXPECT_EQ(GetModuleHandle(NULL), AfxGetInstanceHandle());
}

}  // namespace
