// The editor opened and closed many times on a private X server, a key of
// its keyboard played each time, with the audio running: the process's
// threads, open files (the X connections) and heap come back to where they
// were.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "support/hosted_editor.h"
#include "support/process_usage.h"

namespace {

// Heap bytes the run may end above or below its start: each open builds a
// window, a cairo surface per bitmap and the editor's control tree, many
// kilobytes that a leak of any of them in any cycle would exceed.
constexpr std::int64_t kHeapSlack = 4096;

void openPlayClose(guitest::HostedEditor& editor, int key) {
    ASSERT_EQ(editor.openAt(0, 0), 1);
    editor.click(7 * key + 3, 395);  // a key of the on-screen keyboard
    EXPECT_GT(editor.renderPeak(512), 1e-5f);
    editor.close();
    editor.renderPeak(4096);  // a few blocks after the close
}

TEST(EditorSoak, HundredOpenPlayCloseCyclesLeaveThreadsFilesAndHeapAsTheyWere) {
    guitest::XTestHost host;
    ASSERT_TRUE(host.connected()) << "Xvfb could not be started";
    guitest::HostedEditor editor(host);
    editor.plugin().logCalls = false;
    for (int i = 0; i < 3; ++i) openPlayClose(editor, 20 + i);  // warm-up: caches filled once
    host.sync();
    const auto start = std::chrono::steady_clock::now();
    const usage::Snapshot before;
    for (int cycle = 0; cycle < 100; ++cycle) openPlayClose(editor, 10 + cycle % 60);
    host.sync();
    const usage::Snapshot after;
    std::printf("100 editor open/play/close cycles: threads %d -> %d, open files %d -> %d, heap %lld -> %lld, %.1f s\n",
                before.threads, after.threads, before.files, after.files, static_cast<long long>(before.heap),
                static_cast<long long>(after.heap),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.files, before.files);
    EXPECT_LE(std::llabs(after.heap - before.heap), kHeapSlack) << "heap in use moved by " << after.heap - before.heap;
}

}  // namespace
