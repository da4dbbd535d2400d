// Loading, creating, closing and unloading the library many times leaves
// nothing behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "tools/vsthost/plugin_host.h"

namespace {

int threadsInProcess() {
    int n = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++n;
    return n;
}

int openFiles() {
    int n = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

TEST(Lifecycle, CloseEndsTheWorkerThreads) {
    auto library = std::make_shared<vsthost::PluginLibrary>(PELMAR_PLUGIN_PATH);
    const int before = threadsInProcess();
    std::vector<std::unique_ptr<vsthost::PluginInstance>> instances;
    for (int i = 0; i < 4; ++i) instances.push_back(std::make_unique<vsthost::PluginInstance>(library));
    const int workers = threadsInProcess() - before;
    EXPECT_EQ(workers % 4, 0);
    const int perInstance = workers / 4;
    EXPECT_TRUE(perInstance == 0 || perInstance >= 2) << "no thread at all with one processor";
    instances.pop_back();
    EXPECT_EQ(threadsInProcess(), before + 3 * perInstance);
    instances.clear();
    EXPECT_EQ(threadsInProcess(), before);
}

TEST(Lifecycle, RepeatedLoadCreateCloseUnloadLeavesNothingBehind) {
    const int threadsBefore = threadsInProcess();
    const int filesBefore = openFiles();
    for (int cycle = 0; cycle < 40; ++cycle) {
        auto library = std::make_shared<vsthost::PluginLibrary>(PELMAR_PLUGIN_PATH);
        vsthost::PluginInstance a(library);
        vsthost::PluginInstance b(library);
        std::vector<float> left(128), right(128);
        a.process(left.data(), right.data(), 128);
        EXPECT_EQ(a.close(), 1);
        EXPECT_EQ(b.close(), 1);
    }
    EXPECT_EQ(threadsInProcess(), threadsBefore);
    EXPECT_EQ(openFiles(), filesBefore);
}

}  // namespace
