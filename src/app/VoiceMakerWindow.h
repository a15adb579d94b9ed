#pragma once
// "Voice Data 作成": the voice data maker's project editor. Pitch list and code-notation
// list, the item list with its operations, WAV import and export per item, listening to
// the selected items, the project file (new, open, save, save as, with the save prompt),
// and the build of the voice into the voice folder.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

#include "app/AppContext.h"
#include "voicemaker/MakerListening.h"
#include "voicemaker/ProjectEditor.h"
#include "voicemaker/VoiceProject.h"

namespace kantor::app {

class VoiceMakerWindow : public QWidget {
    Q_OBJECT
public:
    explicit VoiceMakerWindow(AppContext& ctx, QWidget* parent = nullptr);
    ~VoiceMakerWindow() override;

    VoiceProject& project() { return project_; }
    ProjectEditor& editor() { return editor_; }

    // The file commands. Each returns true when it went through.
    bool newProject();
    bool openProject();
    bool openProjectPath(const std::string& path);
    bool saveProject();
    bool saveProjectAs();
    // The save prompt before new, open and closing: true when the action may go on.
    bool askToSave();
    // "VoiceDataの作成": validates, asks for the target and builds. `replaceIdentifier`
    // given skips the target window ("" = a new voice).
    bool build(const std::optional<std::string>& target = std::nullopt);

    // The list operations on the window's selections.
    void addItem();
    void changeCode();
    void insertBlank();
    void deleteSelected();
    void moveSelected(int direction);
    void importWave();
    void exportWave();
    void openProperties();
    void openRecording();
    void listen();
    void stopListening();

    void selectPitch(int note);
    void selectCode(int row);
    void setTyped(const QString& code, const QString& notation);
    void setLowerCaseCodes(bool on);
    void selectLines(const std::vector<int>& lines);
    std::vector<int> selectedLines() const;
    QListWidget* itemList() const { return items_; }
    QListWidget* codeList() const { return codes_; }
    QListWidget* pitchList() const { return pitches_; }
    // Rebuilds the item list and the header fields from the project.
    void refresh();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void fillCodes();
    void takeHeaderFields();
    void showTitle();
    void follow();
    std::optional<SyllablePair> typedPair() const;
    int singleSelection(bool needData);

    AppContext& ctx_;
    VoiceProject project_;
    ProjectEditor editor_;
    std::shared_ptr<DeviceSet> devices_;
    std::unique_ptr<MidiStream> stream_;
    std::unique_ptr<WaveOut> waveOut_;
    std::unique_ptr<PerformancePlayer> player_;

    QLineEdit* name_;
    QLineEdit* comment_;
    QLineEdit* comment2_;
    QDoubleSpinBox* tuning_;
    QComboBox* rate_;
    QListWidget* pitches_;
    QListWidget* codes_;
    QCheckBox* lower_;
    QLineEdit* code_;
    QLineEdit* notation_;
    QListWidget* items_;
    QComboBox* length_;
    QCheckBox* instrument_;
    QPushButton* listenPlay_;
    QTimer follow_;
    bool filling_ = false;
};

}  // namespace kantor::app
