// Writes the settings file of a first start, so that a new user finds the
// window ready to convert a source:
//
//   first_settings <program folder> <source folder>
//
// The source folder becomes the current source, the first preset of the
// preset file the window reads is picked with its options, and the titles are
// joined ("タイトル結合"). The keys are those the window writes on close after
// the user picked that preset, with the values it would hold then, written
// through the same settings file code (Shift-JIS, CR LF). The window position
// and the output folder are left out: the window uses its own when the file
// has none (the output folder is then the default of the program folder's
// mode). A settings file that is already there is never touched.
//
// Exit status: 0 when the file was written or was already there, 1 when it
// could not be written (nothing of it is left behind then), 2 on wrong use.
#include "app/file_places.h"
#include "app/ini_file.h"
#include "options/option_rules.h"
#include "options/preset_file.h"
#include "platform/error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <exception>

namespace zento {
namespace {

// The preset box's first preset row: row 0 is the manual row, the file's lines follow.
constexpr int kFirstPresetRow = 1;

void Say(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

// A folder as the drive list keeps a chosen one: absolute and cleaned.
QString KeptFolder(const QString &folder)
{
    return QDir::cleanPath(QDir(folder).absolutePath());
}

// The keys of a window that shows the preset's options (a fresh window holds
// 0 in the aspect fields, which no preset sets, and two passes off), titles
// joined and the source folder current, in the order FormClose writes them.
void WriteSettings(IniFile &ini, const PresetFile &presets, const QString &sourceFolder)
{
    if (!presets.Lines().isEmpty()) {
        // The values the window takes from the row as its preset box shows it.
        const PresetValues v = PresetValuesFromRow(PresetBoxRow(presets.Lines().first(), presets.Encoding()));
        const QString set2 = QStringLiteral("SET2");
        const QString set3 = QStringLiteral("SET3");
        ini.WriteInteger(set2, QStringLiteral("C2_00"), kFirstPresetRow);
        ini.WriteInteger(set2, QStringLiteral("C2_01"), v.container);
        ini.WriteInteger(set2, QStringLiteral("C2_02_01"), v.width);
        ini.WriteInteger(set2, QStringLiteral("C2_02_02"), v.height);
        ini.WriteInteger(set2, QStringLiteral("C2_03_01"), 0);
        ini.WriteInteger(set2, QStringLiteral("C2_03_02"), 0);
        ini.WriteInteger(set2, QStringLiteral("C2_04"), v.videoCodec);
        ini.WriteInteger(set2, QStringLiteral("C2_05"), v.videoBitRate);
        ini.WriteInteger(set2, QStringLiteral("C2_06"), v.frameRate);
        ini.WriteInteger(set3, QStringLiteral("C3_01"), v.audioCodec);
        ini.WriteInteger(set3, QStringLiteral("C3_02"), v.audioBitRate);
        ini.WriteInteger(set3, QStringLiteral("C3_03"), v.sampleRate);
        ini.WriteInteger(QStringLiteral("SET4"), QStringLiteral("C4_C1"), 0);
    }
    ini.WriteInteger(QStringLiteral("SET5"), QStringLiteral("C5_C1"), 1);
    ini.WriteString(QStringLiteral("SOURCE"), QStringLiteral("FOLDER"), KeptFolder(sourceFolder));
    ini.WriteInteger(QStringLiteral("SOURCE"), QStringLiteral("CURRENT"), 1);
}

int Run(const QStringList &arguments)
{
    if (arguments.size() != 3 || arguments.at(1).isEmpty() || arguments.at(2).isEmpty()) {
        Say(QStringLiteral("usage: first_settings <program folder> <source folder>"));
        return 2;
    }
    const FilePlaces places = FilePlaces::ForProgramFolder(KeptFolder(arguments.at(1)));
    const QString settings = places.SettingsPath();
    const QFileInfo there(settings);
    if (there.exists() || there.isSymLink()) {
        Say(QStringLiteral("Settings kept: %1").arg(settings));
        return 0;
    }

    try {
        const PresetFile presets = PresetFile::Load(places.PresetPath());
        places.PrepareUserFolder();
        IniFile ini(settings);
        try {
            WriteSettings(ini, presets, arguments.at(2));
        } catch (...) {
            // Half a first file would look like the user's own: none is left.
            QFile::remove(settings);
            throw;
        }
    } catch (const std::exception &e) {
        Say(ExceptionMessage(e));
        return 1;
    }
    Say(QStringLiteral("Settings written: %1").arg(settings));
    return 0;
}

} // namespace
} // namespace zento

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return zento::Run(QCoreApplication::arguments());
}
