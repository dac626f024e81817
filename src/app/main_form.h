#pragma once

#include "app/file_places.h"
#include "convert/encoder_capabilities.h"
#include "disc/dvd_disc.h"
#include "options/conversion_settings.h"
#include "options/preset_file.h"
#include "source/search_file.h"

#include "widgets/window_drag.h"
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class QCheckBox;
class QLabel;
class QProcess;

namespace zento {

class TBrowseEdit;
class TCheckListBox;
class TDriveComboBox;
class TMultiColComboBox;
class TProgressForm1;
class TSpinEdit;
class TdxfColorButton;

// The main window: borderless, 434 x 574, dragged by its background.
// Controls and handlers carry the names the rest of the program uses.
class TMainForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm1(const QString &executablePath, QWidget *parent = nullptr);
    ~TMainForm1() override;

    // --- controls -----------------------------------------------------------
    TdxfColorButton *CButton1 = nullptr; // close
    TdxfColorButton *CButton2 = nullptr; // minimise
    TdxfColorButton *CButton3 = nullptr; // manual
    TdxfColorButton *CButton4 = nullptr; // information page
    TDriveComboBox *DriveComboBox1 = nullptr;
    TCheckListBox *CheckListBox1 = nullptr; // full paths (hidden)
    TCheckListBox *CheckListBox2 = nullptr; // display texts and ticks
    TdxfColorButton *CButton12 = nullptr;   // refresh
    QCheckBox *CheckBox2 = nullptr;         // the parts of a title into one file
    TBrowseEdit *C1_03 = nullptr;           // output folder
    TMultiColComboBox *C2_00 = nullptr;     // preset
    TMultiColComboBox *C2_01 = nullptr;     // container
    TSpinEdit *C2_02_01 = nullptr;
    TSpinEdit *C2_02_02 = nullptr;
    TSpinEdit *C2_03_01 = nullptr;
    TSpinEdit *C2_03_02 = nullptr;
    TMultiColComboBox *C2_04 = nullptr;   // video codec
    TSpinEdit *C2_06 = nullptr;           // frame rate
    TSpinEdit *C2_05 = nullptr;           // video bit rate
    TMultiColComboBox *C3_01 = nullptr;   // audio codec
    TSpinEdit *C3_03 = nullptr;           // sample rate
    TSpinEdit *C3_02 = nullptr;           // audio bit rate
    QCheckBox *CheckBox1 = nullptr;       // two passes
    TdxfColorButton *CButton10 = nullptr; // convert
    TdxfColorButton *CButton11 = nullptr; // store preset
    TSearchFile SearchFile1;

    // --- state --------------------------------------------------------------
    const QString &ProgramFolder() const { return programFolder_; }
    const QString &ExecutablePath() const { return executablePath_; }
    // Where the settings, the presets, the thumbnail and the default output go.
    FilePlaces &Places() { return places_; }
    const FilePlaces &Places() const { return places_; }
    // The folder of an executable: without a trailing "/", except "/" itself.
    static QString ProgramFolderOf(const QString &executablePath);
    PresetFile &Presets() { return presets_; } // the preset line list
    // The conversion settings as the controls show them now.
    ConversionSettings CurrentSettings() const;

    // --- top bar, output folder (main window) -------------------------------
    void CButton1Click(QObject *Sender = nullptr);
    void CButton2Click(QObject *Sender = nullptr);
    void CButton3Click(QObject *Sender = nullptr);
    void CButton4Click(QObject *Sender = nullptr);
    void C1_03Change(QObject *Sender = nullptr);
    QString InformationPageAddress() const;
    QString ManualPath() const;

    // --- title listing -------------------------------------------------------
    void DriveComboBox1Select(QObject *Sender = nullptr);
    void CButton12Click(QObject *Sender = nullptr);
    void SearchFile1Find(TSearchFile &Sender, const QString &Name, const TSearchFileData &Data, bool &Continue);

    // --- title mode: the disc's own titles -----------------------------------
    struct TitleRow {
        DiscTitle title;
        int audioTrack = -1;         // index into title.audio; -1: none
        int subtitleTrack = -1;      // index into title.subtitles; -1: none
        bool subtitleChosen = false; // by the user: a new audio track keeps it
        int angle = 1;               // 1..title.angles
    };
    // What the list shows while it shows the titles of a disc, row for row.
    struct TitleListing {
        bool active = false;
        QString source;   // the folder, image or drive read
        QString discName; // what the output files are named after
        QList<TitleRow> rows;
    };
    const TitleListing &Titles() const { return titles_; }
    // Lists the titles of the source into the emptied list, true when its
    // structure could be read and gave titles (for an image, always: what
    // went wrong is said); false leaves the list to the listing by file name.
    bool ListTitles(const QString &source);
    // Whether the listed titles are still those of the source: false when
    // another disc (other titles, other cells) now stands at its place.
    bool ListedDiscStillThere();
    // Looks at the pictures of each ticked short title, which the listing
    // passed over, for film in them; a title found so shows it in its row.
    void LookAtTickedShortTitles();
    // The menu of a title row's audio tracks, at a point on the screen.
    void ShowTitleMenu(int row, const QPoint &globalPos);
    // Makes a track the row's choice and shows it in the row. A new audio
    // track brings the default subtitles with it, unless the user chose them.
    void SetTitleAudio(int row, int track);
    void SetTitleSubtitles(int row, int track);
    void SetTitleAngle(int row, int angle); // 1..the title's angles
    // A look at the row's decoded picture found film telecined into it.
    void SetTitleHardTelecine(int row);
    // The rows' texts again: the subtitles show only while they can be
    // burned in (the video is encoded).
    void RefreshTitleRows();
    // The tick box follows the source: an image is always listed by title.
    void UpdateTitleModeBox();
    // The user's own title mode choice: the box's state, or while an image
    // forces it on, the state it gets back after the image.
    bool TitleModeChoice() const;
    void SetTitleModeChoice(bool on);
    void CheckBox2Click(QObject *Sender = nullptr);

    // --- options: presets, highlighting, storing, settings file -------------
    void C2_00Change(QObject *Sender = nullptr);
    void C2_01Change(QObject *Sender = nullptr);
    void C2_04Change(QObject *Sender = nullptr);
    void C3_01Change(QObject *Sender = nullptr);
    void C2_02_01Change(QObject *Sender = nullptr);
    void C2_02_02Change(QObject *Sender = nullptr);
    void C2_03_01Change(QObject *Sender = nullptr);
    void C2_03_02Change(QObject *Sender = nullptr);
    void C2_05Change(QObject *Sender = nullptr);
    void C2_06Change(QObject *Sender = nullptr);
    void C3_02Change(QObject *Sender = nullptr);
    void C3_03Change(QObject *Sender = nullptr);
    void CButton11Click(QObject *Sender = nullptr);
    void FormActivate(QObject *Sender = nullptr);
    void FormClose(QObject *Sender = nullptr);
    int Tag = 0; // the once-only flag of the settings reading

    // --- conversion run ------------------------------------------------------
    void CButton10Click(QObject *Sender = nullptr);
    QString CurrentSourcePath;
    QString CurrentOutputPath;
    QPointer<QProcess> EncoderProcess;      // the encoder started last, while it lives
    QPointer<TProgressForm1> ProgressForm1; // exists only during a run
    // The system asks the program to end (a logout, a shutdown, Ctrl+C): a
    // run going stops its encoder as 中止 does, removes the cut-off output
    // and converts nothing more; then the window closes as by its close box,
    // its settings stored, and the program ends.
    void EndBySystem();
    bool EndRequested() const { return endRequested_; }

    // --- what the installed encoder offers -----------------------------------
    // Asks the encoder once (the first showing does it), without waiting; the
    // answer marks the option rows it cannot use. No encoder: nothing happens.
    void StartEncoderQuery();
    // What is known; a question still under way is waited for first.
    const EncoderCapabilities &Capabilities();
    // Asks the encoder again when an earlier question went unanswered.
    void AskEncoderAgainIfUnanswered();
    // Waits at most ms for a question still under way; whether the answer is in.
    bool AwaitCapabilities(int ms);
    void SetCapabilities(const EncoderCapabilities &capabilities);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void BuildControls();
    // Closes the window and leaves every event loop, a dialog's too; once.
    void EndNow();
    bool endRequested_ = false;
    bool ended_ = false;
    QString executablePath_;
    QString programFolder_;
    QString typedFolder_;        // the output folder field's text after its last change
    bool separatorHeld_ = false; // a separator typed at the end of that text was taken away
    FilePlaces places_;
    PresetFile presets_;
    TWindowDrag drag_;
    TitleListing titles_;
    bool listed_ = false; // a listing ran since the start
    // The title mode box while an image forces it on: the user's own choice,
    // which the settings file keeps and the box gets back after the image.
    bool titleModeForced_ = false;
    bool titleModeChoice_ = false;
    // The same disc listed again gets back what the user chose on its rows.
    void KeepTitleChoices(const TitleListing &before, const QList<bool> &ticks);
    std::unique_ptr<EncoderQuery> encoderQuery_;
    EncoderCapabilities capabilities_;
};

} // namespace zento
