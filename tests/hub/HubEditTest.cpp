// The owner's side of editing: undo and redo with the windows told which channel changed, a
// new song starting a new history, the one-click lengths in the settings, and the listening
// and phrase export calls refusing a note without a phrase head.
#include <gtest/gtest.h>

#include <fstream>

#include "hub/Hub.h"
#include "midi/SmfWriter.h"
#include "song/TestPrompt.h"
#include "support/ScratchFolders.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

struct Edits : HubListener {
    std::vector<int> channels;
    int modified = 0;
    void songEdited(int c) override { channels.push_back(c); }
    void modifiedChanged() override { ++modified; }
};

struct EditHub {
    test::ScratchFolders scratch;
    test::TempDir dir;
    test::RecordingPrompt prompt;
    Hub hub{prompt};
    Edits edits;
    EditHub() {
        hub.startUp();
        SmfTrack t;
        t.tempo(0, 500000).timeSignature(0, 4, 2);
        for (uint32_t i = 0; i < 4; ++i) t.note(i * 480, i * 480 + 400, 2, 60, 100);
        t.endOfTrack(4 * 480 + 1920);
        const auto bytes = buildSmf(0, 480, {t});
        std::ofstream(dir.file("a.mid"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        EXPECT_TRUE(hub.openMidi(dir.file("a.mid")));
        EXPECT_TRUE(hub.session().makeVoxChannel(2));
        hub.addListener(&edits);
    }
    ~EditHub() { hub.removeListener(&edits); }
};

TEST(HubEdit, UndoAndRedoTellTheWindowsAndMarkTheSong) {
    EditHub f;
    {
        EditScope e(f.hub.history(), f.hub.song(), 2);
        f.hub.song().channel(2).events[1]->noteVolume = 40;
    }
    {
        EditScope e(f.hub.history(), f.hub.song(), EditHistory::kSongDefaults);
        f.hub.song().songDefaults().phraseVolume = 80;
    }
    f.hub.edited(2);
    EXPECT_TRUE(f.hub.song().modified());
    f.edits.channels.clear();
    EXPECT_TRUE(f.hub.undo());
    EXPECT_EQ(f.hub.song().songDefaults().phraseVolume, 100);
    EXPECT_TRUE(f.hub.undo());
    EXPECT_EQ(f.hub.song().channel(2).events[1]->noteVolume, 100);
    EXPECT_FALSE(f.hub.undo());
    EXPECT_TRUE(f.hub.redo());
    EXPECT_EQ((std::vector<int>{EditHistory::kSongDefaults, 2, 2}), f.edits.channels);
    // Another song starts with nothing to undo.
    EXPECT_TRUE(f.hub.openMidi(f.dir.file("a.mid")));
    EXPECT_FALSE(f.hub.history().canUndo());
    EXPECT_FALSE(f.hub.history().canRedo());
}

TEST(HubEdit, ListeningAndExportNeedAPhraseHead) {
    EditHub f;
    std::string info;
    EXPECT_FALSE(f.hub.exportPhraseWav(2, 1, f.dir.file("p.wav"), info));
    ASSERT_FALSE(f.prompt.shown.empty());
    EXPECT_EQ(f.prompt.shown.back().caption, "警告");
    EXPECT_EQ(f.prompt.shown.back().text, "このノートの属するフレーズの先頭がありません。");
}

TEST(HubEdit, OneClickLengthsLiveInTheSettingsBlock) {
    EditHub f;
    f.hub.settings().setOneClickLengths({120, 240, 480, 960, 10000});
    EXPECT_EQ(f.hub.settings().oneClickLengths(), (std::array<uint16_t, 5>{120, 240, 480, 960, 10000}));
    Settings copy;
    ASSERT_TRUE(copy.loadFromBytes(f.hub.settings().toBytes()));
    EXPECT_EQ(copy.oneClickLengths()[4], 10000);
    EXPECT_EQ(copy.block().value648, 120u | 240u << 16);
}

}  // namespace
}  // namespace kantor
