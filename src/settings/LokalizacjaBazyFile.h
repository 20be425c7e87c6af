#pragma once
// baza.set: the suite's connection settings beside the executable, its one-level backup, and the
// database location published in the per-user registry store on every save.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class TProfileFile;
}

// Network protocol of a remote server; one byte, stored as its number. Values 3..255 may occur
// (read from a file) and are kept as they are.
enum TIBNetProtocol : std::uint8_t { npTCP = 0, npNamedPipes = 1, npSPX = 2 };

// A database location in the suite's forms: local, the path; remote, the server and the path as
// "srv:path" (TCP), "\\srv\path" (named pipes), "srv@path" (SPX); empty for another protocol value.
std::string DatabaseLocation(bool remote, const std::string& serwer, TIBNetProtocol protocol,
                             const std::string& path);

// Where one key's value came from in the last Load.
struct TKeyOrigin {
    const char* Key = "";
    bool InFile = false;  // the file has the key (its text in FileText)
    bool FromFile = false; // the value is the file's; otherwise the key's default or replacement
    std::string FileText;
};

class TLokalizacjaBazyFile {
public:
    // An empty path means baza.set in the executable's directory. Touches no file.
    explicit TLokalizacjaBazyFile(const std::string& fileName = {});
    virtual ~TLokalizacjaBazyFile();

    // Reads the seven keys with their defaults. On a read error shows the error window and raises EAbort.
    virtual void Load();
    // Writes the seven keys in one replacement of the file, then the registry value; "Unable to write
    // to %s" when the file cannot be read or written or a value cannot be stored, and then nothing is
    // written.
    virtual void Save();

    void MakeBackup();
    void RestoreFromBackup();
    void DeleteBackup();
    std::string BackupFileName() const { return FIniFileName + "~"; }
    // The location string published in the registry: the database directory in one of the four forms.
    std::string LocationString() const;
    // True when a save writes the location into the registry: the per-user key \Software\VRL exists.
    static bool PublishesLocation();

    const std::string& FileName() const { return FIniFileName; }
    bool RemoteSerwer() const { return FRemoteSerwer; }
    void SetRemoteSerwer(bool value) { FRemoteSerwer = value; }
    const std::string& DatabaseDir() const { return FDatabaseDir; }
    void SetDatabaseDir(const std::string& value) { FDatabaseDir = value; }
    const std::string& SerwerName() const { return FSerwerName; }
    void SetSerwerName(const std::string& value) { FSerwerName = value; }
    TIBNetProtocol ProtocolName() const { return FProtocolName; }
    void SetProtocolName(TIBNetProtocol value) { FProtocolName = value; }

    // The seven keys in the order of the file, as the last successful Load found them.
    const std::array<TKeyOrigin, 7>& KeyOrigins() const { return FKeyOrigins; }

    std::string SharedDir;
    std::string ProfileDir;
    std::string DatabaseFileExt;

private:
    // Clears what killed writes of the file or of its backup left beside them (Load and Save do it).
    void RemoveLeftovers() const;

    std::string FIniFileName;
    bool FRemoteSerwer = false;
    std::string FDatabaseDir;
    std::string FSerwerName;
    TIBNetProtocol FProtocolName = npTCP;
    std::unique_ptr<platform::TProfileFile> FiniFile;
    std::array<TKeyOrigin, 7> FKeyOrigins{};
};
