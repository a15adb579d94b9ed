#pragma once
// "MusicXMLの読み込み": before a score becomes a song, the part that sings and, when the part
// has several, the verse. Each part is shown with its name, how many notes it has and
// whether it has lyrics; the first part with lyrics is chosen. "繰り返しを演奏する" follows
// the repeats, endings and jumps (off: the score once through as written).
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QTreeWidget>
#include <vector>

#include "import/MusicXml.h"

namespace kantor::app {

class ScorePartDialog : public QDialog {
    Q_OBJECT
public:
    ScorePartDialog(const std::string& scoreName, std::vector<MusicXmlPart> parts, QWidget* parent = nullptr);
    // Whether the choice is worth asking: several parts, or a part with several verses.
    static bool worthAsking(const std::vector<MusicXmlPart>& parts);
    MusicXmlOptions options() const;

    QTreeWidget* partList() const { return list_; }
    QComboBox* verses() const { return verse_; }
    QCheckBox* repeats() const { return repeats_; }

private:
    void partChosen();

    std::vector<MusicXmlPart> parts_;
    QTreeWidget* list_;
    QLabel* verseLabel_;
    QComboBox* verse_;
    QCheckBox* repeats_;
};

}  // namespace kantor::app
