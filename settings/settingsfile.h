#pragma once
// CSettingsFile: the program's configuration store. An ordered, sectioned table
// of text keys and text values held in memory, with typed reads that fall back
// to a default, writes that keep a modified mark, and a save that writes the
// whole table as a file of "[section]" lines and "key=value" lines, optionally
// after copying the previous file to a numbered backup.
//
// Ownership and lifetime. The application owns exactly one store for the whole
// run. The store owns every list and string in it; it is not copyable. When
// m_saveOnDestroy is set the destructor saves (with a backup first when
// m_backupOnSave is set).
//
// Thread. User-interface thread only, at start-up and at exit; no locking.
//
// Section slots. Slot 0 is the unnamed section; named sections take slots 1, 2,
// 3, ... in the order they are first set (or met in the file), so m_lastSection
// is also the number of named sections. Each slot that holds pairs owns two
// lists of equal length, key i belongs with value i, in the order in which the
// section is written. The two pointer arrays start empty; when a new section
// needs an index that is not below their length, both grow by m_growStep null
// entries (with step 4 they grow at the first and at the fourth named section).
// Slot 0 only ever holds pairs when a set uses the empty section name or a file
// has lines before its first section line; they are saved first, without a
// section line, so they come back on the next load.
//
// Comparisons of section names, keys and values ignore letter case while
// m_ignoreCase is set, with Unicode case folding. A section name that occurs
// in more than one slot is found at the first (lowest) of them, a key that
// occurs twice in a section at its later occurrence, where it is read and
// replaced. Lookups go through hash tables, so reading a file of n lines
// takes time in proportion to n.
//
// Strings are not validated: bytes that are not UTF-8 are held as the lone
// surrogates of CRawUtf8 and written back as the same bytes, so a value read
// and saved again keeps every byte; what the program sets is valid Unicode
// and is written as UTF-8.
//
// File format. UTF-8 without byte-order mark, every line ending in CR LF, no
// blank lines:
//   [SECTION]
//   KEY=value          (a pair with an empty key is written as its value alone)
// A line break inside a name, key or value is written as a blank, so one odd
// value can never split the file into lines that read back as other keys or
// sections. The save replaces the file atomically (a temporary file beside it,
// renamed into place), so a crash or a full disk during the save leaves the
// old file as it was.
//
// Reading (Load), the rules:
// - A file written by Save reads back to the same sections, keys, values and
//   order, provided keys contain no "=" and are not empty, and no name, key or
//   value begins or ends with a blank or a tab (values may contain "=" and ";").
// - LF and CR LF line endings are both taken; a UTF-8 byte-order mark at the
//   start is skipped; bytes that are not valid UTF-8 (NUL included) never stop
//   the reading and are kept (above); the lines around them are read as usual.
//   Line length is not limited.
// - A line that is empty or only white space is skipped.
// - Blanks and tabs around section names, keys and values are removed, as
//   people who edit such files expect ("PORT_NR = 40" is PORT_NR).
// - A section line is a line that, without white space around it, starts with
//   "[" and ends with "]"; the name is what lies between. "[]" names slot 0.
//   A section that occurs again continues its first slot (compared as lookups
//   compare), so every one of its keys stays readable; the later of two equal
//   keys wins.
// - Any other line is a pair, split at its first "=". A line without "=" is a
//   pair with an empty key and the whole line as value, as Save writes it
//   (such a value containing "=", or in brackets, cannot be told from a pair
//   or a section line; the application never uses empty keys).
// - Pairs before the first section line belong to slot 0.
// - Loading does not set m_modified; m_saveOnDestroy and m_backupOnSave are
//   left to the caller.
//
// Members are public, as in the rest of the program's classes. Callers set
// m_path, m_saveOnDestroy, m_backupOnSave and m_ignoreCase; the others are the
// store's own state and change only through its operations.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class CSettingsFile {
public:
    using ListArray = std::vector<std::unique_ptr<QStringList>>;

    // growStep below 1 is taken as 1.
    explicit CSettingsFile(int growStep);
    virtual ~CSettingsFile();
    CSettingsFile(const CSettingsFile&) = delete;
    CSettingsFile& operator=(const CSettingsFile&) = delete;

    // The stored value cut before its last ";" (a remark), without blanks and
    // tabs around what is left, or `defaultValue` unchanged when the section
    // or key is missing.
    QString GetString(const QString& section, const QString& key, const QString& defaultValue) const;
    // The value read as atoi reads it (leading white space, sign, decimal
    // digits; 0 without digits), clamped to INT_MIN..INT_MAX.
    int GetInt(const QString& section, const QString& key, int defaultValue) const;
    // The value read as atol reads it, as a 32-bit pattern: negative values
    // give the bits of the signed number (-1 reads as 4294967295), and every
    // value SetUnsigned writes reads back unchanged. Beyond that range the
    // value is clamped to INT32_MIN resp. UINT32_MAX.
    std::uint32_t GetUnsigned(const QString& section, const QString& key, std::uint32_t defaultValue) const;

    // Adds the section and key when missing, else replaces the value; sets
    // m_modified for a new section, a new key or a different value (a change
    // of letter case alone does not count while m_ignoreCase is set).
    void SetString(const QString& section, const QString& key, const QString& value);
    void SetInt(const QString& section, const QString& key, int value);
    void SetUnsigned(const QString& section, const QString& key, std::uint32_t value);

    // Writes the store to m_path when m_modified is set, after copying the old
    // file to m_backupPath when `makeBackup` (a failed copy is ignored). Returns
    // m_backupPath (empty when no backup name was ever computed), or an empty
    // string when nothing was written: store not modified, no path, or the file
    // could not be written (then the old file is untouched). Does not clear
    // m_modified.
    //
    // The backup name is computed at the first save with backup: for a
    // settings file S.ext it is S.ext.NNN, one above the largest number found
    // in the last three characters of the names in the file's folder that
    // begin with S (only a dot in the file name counts, not one in a folder
    // name). A file name without a dot (or with its only dot in front, as a
    // hidden file) counts the names that begin with the whole name and a dot.
    // Names are compared with case, as the file system does. Backups are never
    // deleted; once S.ext.999 exists, every later store backs up to S.ext.1000,
    // replacing it, since the scan reads three characters only.
    QString Save(bool makeBackup);
    // Files written from now on (the store and its backups) are readable and
    // writable by their owner only: the store holds a secret. A backup always
    // takes the permissions of the file it copies.
    void SetOwnerOnly(bool ownerOnly) { m_bOwnerOnly = ownerOnly; }
    bool HasSection(const QString& section) const { return FindSection(section) >= 0; }

    // Drops every section, key and value, empties m_path and clears
    // m_modified; m_backupPath is kept.
    void Clear();

    // Replaces the contents with the file at `path` (rules above) and sets
    // m_path to it, also when the file cannot be read, so that a later save
    // creates it. Returns false when the file could not be opened or read.
    bool Load(const QString& path);

    ListArray m_keyLists;              // per slot: keys, or null
    ListArray m_valueLists;            // per slot: values, parallel to the keys
    QStringList m_sectionNames;        // per slot; slot 0 is ""
    int m_lastSection = 0;
    int m_growStep;
    bool m_ignoreCase = true;
    bool m_saveOnDestroy = false;
    QString m_backupPath;              // computed once per store, kept by Clear
    QString m_path;
    bool m_backupOnSave = false;
    bool m_modified = false;

private:
    using NameIndex = std::unordered_map<QString, int>;

    bool Same(const QString& a, const QString& b) const;
    QString IndexKey(const QString& text) const;
    void SyncIndex() const;
    QString SectionName(int slot) const;
    int FindSection(const QString& section) const;          // -1 when missing
    int FindKey(int slot, const QString& key) const;         // -1 when missing
    void GrowFor(int slot);
    int AddSection(const QString& section);
    void AddPair(int slot, const QString& key, const QString& value);
    void ReadLine(const QString& line, int& slot);
    void ComputeBackupPath();
    QByteArray FileContents() const;

    // Lookup tables over the lists above, keyed by IndexKey (the name itself,
    // or its case folding while m_ignoreCase is set): the first slot of each
    // section name, and per slot the last index of each key. Kept up to date
    // by every operation; rebuilt when m_ignoreCase has changed since.
    mutable NameIndex m_sectionIndex;
    mutable std::vector<NameIndex> m_keyIndex;
    mutable bool m_indexIgnoresCase = true;
    bool m_bOwnerOnly = false;
};
