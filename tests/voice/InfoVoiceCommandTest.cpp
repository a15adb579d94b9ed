#include <gtest/gtest.h>

#include <sstream>

#include "cli/Commands.h"
#include "voice/VoiceTestFiles.h"

namespace kantor {
namespace {

TEST(InfoVoiceCommand, PrintsHeaderAndSamples) {
    testing::TempDir dir;
    std::string path = dir.file("vxb7.vxb");
    VoiceFileHeader h;
    h.voiceName = "声";
    h.comment = "ｺﾒﾝﾄ";
    h.formatCode = 0;
    h.tuning = 441500;
    std::vector<std::unique_ptr<VoiceSample>> samples;
    samples.push_back(testing::makeSample("KYA", "きゃ", 64, {1, 2, 3}, 2, 4, 6));
    samples.push_back(testing::makeSample("", "", 0, {}));
    VoiceFileWriter w;
    ASSERT_TRUE(w.write(path, h, samples));

    std::ostringstream out, err;
    ASSERT_EQ(cli::run({"info", path}, out, err), 0) << err.str();
    const std::string text = out.str();
    EXPECT_NE(text.find("Voice名: 声\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ｺﾒﾝﾄ: ｺﾒﾝﾄ\n"), std::string::npos);
    EXPECT_NE(text.find("Format: 0 (16bit, 11025Hz, Mono)"), std::string::npos);
    EXPECT_NE(text.find("Tuning: 441.500 Hz"), std::string::npos);
    EXPECT_NE(text.find("KYA   きゃ"), std::string::npos) << text;

    std::ostringstream json;
    ASSERT_EQ(cli::run({"info", "--json", path}, json, err), 0);
    EXPECT_NE(json.str().find("\"voiceName\":\"声\""), std::string::npos) << json.str();
    EXPECT_NE(json.str().find("{\"code\":\"KYA\",\"kana\":\"きゃ\",\"pitch\":64,\"dataSize\":6,\"markerB\":2,"
                              "\"markerC\":4,\"markerD\":6,\"usable\":true}"),
              std::string::npos)
        << json.str();
    EXPECT_EQ(json.str().find('\n'), json.str().size() - 1);  // one object on one line

    std::ostringstream none, why;
    EXPECT_EQ(cli::run({"info", dir.file("missing.vxb")}, none, why), 1);
    EXPECT_NE(why.str().find("Voice データの読み込みに失敗しました。"), std::string::npos);
}

}  // namespace
}  // namespace kantor
