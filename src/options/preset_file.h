#pragma once

#include "platform/text_encoding.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace zento {

// The preset line list and its file, profile.txt in the program folder.
class PresetFile {
public:
    PresetFile() = default;

    // Reads the file; a missing or unreadable file throws zento::Error
    // "ファイル %s は開けません" (what() in UTF-8).
    static PresetFile Load(const QString &filePath);

    const QString &FilePath() const { return filePath_; }
    // Later rewrites go to this file instead (a user's own copy of presets
    // read from a shared file, which stays untouched).
    void SetFilePath(const QString &filePath) { filePath_ = filePath; }
    const QStringList &Lines() const { return lines_; }

    // Appends the line to the list, then rewrites the file atomically. A failed
    // write throws "ファイル %s を作成できません"; the line stays in the list.
    void AppendLine(const QString &line);

    TextEncoding Encoding() const { return encoding_; }
    bool EndsWithLineBreak() const { return endsWithBreak_; }

private:
    QByteArray EncodedFile(TextEncoding &encoding, bool &byteOrderMark, QList<QByteArray> &rawLines) const;

    QString filePath_;
    QStringList lines_;
    // The bytes of lines_[i] in encoding_, for the lines written so far: a
    // line read from the file goes back exactly as it was read.
    QList<QByteArray> rawLines_;
    TextEncoding encoding_ = TextEncoding::ShiftJis;
    bool byteOrderMark_ = false;
    bool endsWithBreak_ = true; // an empty file counts as ending with a break
};

// The manual row, row 0 of the preset box.
extern const char *const kManualPresetRow;

// A row as the preset box shows it: cut to its first 4096 bytes of the encoded
// form, never inside a character.
QString PresetBoxRow(const QString &line, TextEncoding encoding);

} // namespace zento
