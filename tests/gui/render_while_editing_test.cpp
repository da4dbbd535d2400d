// The editor opened, used and closed on the host's thread while the audio
// thread renders without pause, through the built plug-in on the private X
// server: under ThreadSanitizer this proves the editor and the audio thread
// share nothing unguarded; in every build the keys played on the on-screen
// keyboard sound and every sample stays finite and within full scale.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "support/hosted_editor.h"

namespace {

constexpr int kTabY = 14;
int tabX(int page) { return 96 + 106 * page; }
int keyX(int key) { return 7 * key + 3; }
constexpr int kKeyY = 395;

class AudioThread {
public:
    explicit AudioThread(vsthost::PluginInstance& plugin)
        : thread([this, &plugin] {
              std::vector<float> left(256), right(256);
              while (!stop.load()) {
                  plugin.process(left.data(), right.data(), 256);
                  float blockPeak = 0.0f;
                  for (int i = 0; i < 256; ++i) {
                      for (float s : {left[i], right[i]}) {
                          if (!std::isfinite(s) || std::fabs(s) > 1.0f) insane.fetch_add(1);
                          blockPeak = std::max(blockPeak, std::fabs(s));
                      }
                  }
                  if (blockPeak > peak.load()) peak.store(blockPeak);
                  blocks.fetch_add(1);
              }
          }) {}
    ~AudioThread() { join(); }
    void join() {
        stop.store(true);
        if (thread.joinable()) thread.join();
    }
    // Waits until the audio thread has rendered n more blocks.
    void waitBlocks(int n) {
        const int until = blocks.load() + n;
        while (blocks.load() < until) std::this_thread::yield();
    }

    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::atomic<int> insane{0};
    std::atomic<float> peak{0.0f};

private:
    std::thread thread;
};

TEST(RenderWhileEditing, EditorOpenedPlayedAndClosedWhileTheAudioThreadRenders) {
    guitest::XTestHost host;
    ASSERT_TRUE(host.connected()) << "Xvfb could not be started";
    guitest::HostedEditor editor(host);
    editor.plugin().logCalls = false;
    AudioThread audio(editor.plugin());
    audio.waitBlocks(4);
    EXPECT_EQ(audio.peak.load(), 0.0f) << "silence before any key is played";

    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(editor.openAt(0, 0), 1);
        for (int key = 20 + round; key < 80; key += 9) editor.click(keyX(key), kKeyY);
        editor.click(tabX(1 + round % 2), kTabY);  // another page, rebuilt while the audio runs
        editor.drag({{150, 43}, {200, 43}, {240, 43}});  // a slider of its first row
        editor.click(tabX(0), kTabY);
        audio.waitBlocks(2);
        editor.close();
        audio.waitBlocks(2);
    }
    audio.join();
    EXPECT_GT(audio.peak.load(), 1e-4f) << "the keys played on the screen were heard";
    EXPECT_EQ(audio.insane.load(), 0);
    EXPECT_GT(audio.blocks.load(), 20);
}

}  // namespace
