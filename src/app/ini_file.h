#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

namespace zento {

// A settings file in the Windows profile format: "[section]" lines open
// sections, "key=value" lines inside them give values. Names are compared
// without regard to case; lines the program does not know are left alone.
//
// Nothing is cached: every read looks at the file as it is on disk, and every
// write reads it, changes one key and puts the whole file back at once
// (atomically), so an interrupted write never leaves half a file behind.
// Writes to one file from several windows of the program wait for each
// other (a lock file beside it, as the preset file has), so none of them
// loses another's key.
class IniFile {
public:
    // Where the file's bytes are read from and written to. The program always
    // uses the file on disk; the fuzz target keeps the bytes in memory, where
    // its dozens of whole-file reads and rewrites per input make no file
    // system calls and no synced writes.
    class Storage {
    public:
        virtual ~Storage() = default;
        // The file's bytes, none for a missing file; false when the file is
        // there but cannot be read.
        virtual bool Read(const QString &path, QByteArray &bytes) const = 0;
        // Replaces the file's bytes in one step; false when it was not replaced.
        virtual bool Write(const QString &path, const QByteArray &bytes) = 0;
        // Held from the read to the write of one change, so that two
        // programs changing the file at once both keep their keys; nothing
        // to hold by default.
        virtual std::shared_ptr<void> HoldForChange(const QString &path)
        {
            (void)path;
            return {};
        }
    };

    explicit IniFile(const QString &path);
    // The storage must outlive the IniFile.
    IniFile(const QString &path, Storage &storage);

    // Decimal with optional leading blanks and sign, or hexadecimal after
    // "0x"/"0X" or "$"; the default when the file, section or key is missing
    // or the value is not such a number.
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
    // The value, at most 2047 bytes of the file's encoding (never cut inside a
    // character); the default when the file, section or key is missing.
    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;

    // Create the file, section or key as needed: a new section goes to the end
    // of the file, a new key to the end of its section, an existing key keeps
    // its place. A failed write throws zento::Error "%s に書き込めません".
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteString(const QString &section, const QString &key, const QString &value);
    // Several keys as one change, in order, each by the rules above: the file
    // is read once and put back once, so that another window's change comes
    // before or after all of them, never between. A failed write changes none.
    struct Value {
        QString section;
        QString key;
        QString text;
    };
    void WriteValues(const QList<Value> &values);

    const QString &Path() const { return path_; }

    // The longest text value a read gives, in bytes of the file's encoding.
    static constexpr int kMaxValueBytes = 2047;

    // The integer rule of ReadInteger on one value text; false when the text
    // is not an integer (or does not fit an int).
    static bool ParseInteger(const QString &text, int &value);

    // The file as last read: read again and found unchanged, it is not
    // decoded and split once more.
    struct Cache;

private:
    QString path_;
    Storage *storage_;
    mutable std::shared_ptr<Cache> cache_;
};

} // namespace zento
