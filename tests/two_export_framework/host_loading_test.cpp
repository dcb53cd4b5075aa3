// The host's library loading: clear errors for a missing file or export.
#include <gtest/gtest.h>

#include <string>

#include "host/plugin_library.h"
#include "host/single_export_host.h"
#include "host/two_export_host.h"

namespace framework_test {
namespace {

template <class Plugin>
std::string loadError(const std::string& path) {
    try {
        Plugin plugin(path);
    } catch (const host::LoadError& error) {
        return error.what();
    }
    return "";
}

TEST(HostLoading, MissingFileNamesThePath) {
    const std::string message = loadError<host::TwoExportPlugin>("/nonexistent/Missing Plugin");
    EXPECT_NE(message.find("/nonexistent/Missing Plugin"), std::string::npos) << message;
}

TEST(HostLoading, MissingExportNamesTheExport) {
    const std::string message = loadError<host::SingleExportPlugin>(FRAMEWORK_TEST_PLUGIN_PATH);
    EXPECT_NE(message.find("'main'"), std::string::npos) << message;
}

TEST(HostLoading, LoaderPathOnlyChangesUnderWindows) {
#if defined(_WIN32)
    EXPECT_EQ(host::toLoaderPath("/work/build/plugins/A B.dll"),
              "Z:\\work\\build\\plugins\\A B.dll");
    EXPECT_EQ(host::toLoaderPath("C:\\plugins\\A.dll"), "C:\\plugins\\A.dll");
#else
    EXPECT_EQ(host::toLoaderPath("/work/build/plugins/A B.so"), "/work/build/plugins/A B.so");
#endif
}

}  // namespace
}  // namespace framework_test
