#pragma once

#include "platform/text_encoding.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace zento {

// The preset line list and its file, profile.txt in the program folder.
class PresetFile {
public:
    PresetFile() = default;

    // Reads the file; a missing file, or anything there that is not a
    // readable regular file (a folder, a FIFO), throws zento::Error
    // "ファイル %s は開けません" (what() in UTF-8).
    static PresetFile Load(const QString &filePath);

    // The file a store writes: the file read, unless SetFilePath named another.
    const QString &FilePath() const { return filePath_; }
    // Later stores go to this file instead; while it does not exist, a store
    // makes it from the lines read (a user's own copy of presets read from a
    // shared file, which stays untouched).
    void SetFilePath(const QString &filePath) { filePath_ = filePath; }

    // The file's lines as last read or written, then the lines a failed store
    // left waiting.
    const QStringList &Lines() const { return lines_; }

    // Stores a line. Other programs (a second window of this one, an editor)
    // may have changed the file since it was read, so under a lock beside the
    // file the store reads it as it is on disk now, appends the lines waiting
    // from failed stores and this one, and replaces the file in one step; no
    // line that another store wrote is lost. A file that is not there is made
    // from the lines as last read or written. The list then holds the file as
    // written. Returns how many lines at the front of the list were the
    // file's before and are still the same.
    //
    // Failures throw, and the file stays as it was:
    // - "ファイル %s は開けません": the file on disk cannot be read (the
    //   line waits for the next store);
    // - "ファイル %s を作成できません": it cannot be written (the line waits);
    // - "文字「%c」は ファイル %s の文字コードでは書けません": the line holds
    //   a character that the file's encoding cannot hold, and the file did not
    //   read without loss (ReadsWithoutLoss), so it cannot go over to UTF-8
    //   from its text; the line is dropped.
    qsizetype AppendLine(const QString &line);

    TextEncoding Encoding() const { return encoding_; }
    bool EndsWithLineBreak() const { return endsWithBreak_; }
    // Whether the file as last read or written can be written again from its
    // text (see ReadsWithoutLoss).
    bool ReadWithoutLoss() const { return withoutLoss_; }

    // A preset file as read or written: its lines as bytes and as text.
    struct FileText {
        QList<QByteArray> rawLines;
        QStringList lines;
        TextEncoding encoding = TextEncoding::ShiftJis;
        bool byteOrderMark = false;
        bool endsWithBreak = true; // an empty file counts as ending with a break
        bool withoutLoss = true;
    };

private:
    void TakeFile(FileText file);

    QString filePath_;
    QStringList lines_;
    qsizetype fileLines_ = 0; // the front part of lines_ that is the file's
    TextEncoding encoding_ = TextEncoding::ShiftJis;
    bool endsWithBreak_ = true;
    bool withoutLoss_ = true;
    // The file as last read or written, shared by copies of the list.
    std::shared_ptr<const FileText> known_;
};

// The manual row, row 0 of the preset box.
extern const char *const kManualPresetRow;

// A row as the preset box shows it: cut to its first 4096 bytes of the encoded
// form, never inside a character.
QString PresetBoxRow(const QString &line, TextEncoding encoding);

} // namespace zento
