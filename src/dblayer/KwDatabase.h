#pragma once
// The database component of the framework's database layer. It knows what the suite's
// installations look like: a local database or one on a remote server, the server name, the
// network protocol, the directory, the file name and its default extension. From them it composes
// the database name and the connection lines, so that a caller fills the six settings, calls
// PrepareParams and sets Connected. While attached it owns a generator provider, made anew on
// every connect; on first use it makes the plan preprocessor; it names the database's exceptions
// for the error translation.

#include "dberrors/ExceptionLookup.h"
#include "fbclient/FbDatabase.h"
#include "settings/LokalizacjaBazyFile.h"

#include <cstdint>
#include <memory>
#include <string>

class TkwGetGenerator;
class TSqlPlanPreProc;

// A schema fact not yet asked about on this connection, or its answer.
enum TNullBoolean : std::uint8_t { nbNull, nbFalse, nbTrue };
enum TInfoAboutErrors : std::uint8_t { ieToScreen, ieException };

// The database name: the directory and file joined with one separator (the file alone for an
// empty directory); remote, the server and that path in the protocol's form: "srv:path" (TCP),
// "\\srv\path" (named pipes), "srv@path" (SPX). A protocol value outside these gives the empty name.
std::string MakeIbDatabaseName(bool remote, const std::string& serwer, TIBNetProtocol protocol,
                               const std::string& dir, const std::string& fileName);
// The suite's system account.
std::string StrUserName();

class TkwDatabase : public TFbDatabase, public IExceptionNameSource {
public:
    explicit TkwDatabase(TComponent* owner = nullptr);
    ~TkwDatabase() override;

    bool RemoteSerwer() const noexcept { return FRemoteSerwer; }
    void SetRemoteSerwer(bool value) { FRemoteSerwer = value; }
    const std::string& DatabaseDir() const noexcept { return FDatabaseDir; }
    void SetDatabaseDir(std::string value) { FDatabaseDir = std::move(value); }
    const std::string& SerwerName() const noexcept { return FSerwerName; }
    void SetSerwerName(std::string value) { FSerwerName = std::move(value); }
    const std::string& DatabaseFileName() const noexcept { return FDatabaseFileName; }
    void SetDatabaseFileName(std::string value) { FDatabaseFileName = std::move(value); }
    TIBNetProtocol ProtocolName() const noexcept { return FProtocolName; }
    void SetProtocolName(TIBNetProtocol value) { FProtocolName = value; }
    // Appended as it is (with its own dot) to a file name without any dot.
    const std::string& DatabaseFileExt() const noexcept { return FDatabaseFileExt; }
    void SetDatabaseFileExt(std::string value) { FDatabaseFileExt = std::move(value); }
    // Adds "num_buffers=250" to the connection lines.
    bool UseMinBuffers() const noexcept { return FUseMinBuffers; }
    void SetUseMinBuffers(bool value) { FUseMinBuffers = value; }
    // Stored for the application only.
    TInfoAboutErrors InfoError() const noexcept { return FInfoError; }
    void SetInfoError(TInfoAboutErrors value) { FInfoError = value; }
    // Stored only: the component never asks for credentials.
    bool LoginPrompt() const noexcept { return FLoginPrompt; }
    void SetLoginPrompt(bool value) { FLoginPrompt = value; }
    // The connection lines: the base's DBParams list itself unless another list was designated.
    TFbStrings& Params() const noexcept { return *FParams; }
    void SetParams(TFbStrings& value) noexcept { FParams = &value; }

    // DBName from the six settings, and the connection lines: the system account, its password
    // from the credential source, WIN1250, and the page buffers when UseMinBuffers. Does not
    // attach. A failing credential source propagates, leaving only the user line.
    void PrepareParams();

    // Makes the plan preprocessor on the default transaction when there is none, and opens it.
    void CheckPlanPreProcessor();
    // The plan with its constraint names replaced by index names; an empty plan gives the empty
    // result and makes nothing.
    std::string PreProcPlan(const std::string& plan);
    TSqlPlanPreProc* PlanPreProcessor() const noexcept { return FPlanPreProcessor.get(); }

    // The trimmed name of the database exception with that number, from a short transaction of its
    // own; empty when there is none. Failures go to the database exception handler.
    std::string GetExceptionName(int number) override;

    // The generator provider of the current connection; null while detached.
    TkwGetGenerator* GetGenerator() const noexcept { return fGetGenerator.get(); }

    // The schema fact cache: filled by the application, preset from the program group, all reset
    // to nbNull on every orderly disconnect.
    TNullBoolean IsFieldWersjaPR() const noexcept { return fIsFieldWersjaPR; }
    void SetIsFieldWersjaPR(TNullBoolean v) noexcept { fIsFieldWersjaPR = v; }
    TNullBoolean IsTablePlatform() const noexcept { return fIsTablePlatform; }
    void SetIsTablePlatform(TNullBoolean v) noexcept { fIsTablePlatform = v; }
    TNullBoolean IsFieldBLOKADA_ID_FIRMA() const noexcept { return fIsFieldBLOKADA_ID_FIRMA; }
    void SetIsFieldBLOKADA_ID_FIRMA(TNullBoolean v) noexcept { fIsFieldBLOKADA_ID_FIRMA = v; }
    TNullBoolean IsTableBLOKADA_PING() const noexcept { return fIsTableBLOKADA_PING; }
    void SetIsTableBLOKADA_PING(TNullBoolean v) noexcept { fIsTableBLOKADA_PING = v; }
    TNullBoolean IsProcedureNieaktywnyIndex() const noexcept { return fIsProcedureNieaktywnyIndex; }
    void SetIsProcedureNieaktywnyIndex(TNullBoolean v) noexcept { fIsProcedureNieaktywnyIndex = v; }
    TNullBoolean IsTableREJESTROPER() const noexcept { return fIsTableREJESTROPER; }
    void SetIsTableREJESTROPER(TNullBoolean v) noexcept { fIsTableREJESTROPER = v; }
    TNullBoolean IsFieldFILTRDEF_USER_WYWOLAJ_DLA_MNIE() const noexcept {
        return fIsFieldFILTRDEF_USER_WYWOLAJ_DLA_MNIE;
    }
    void SetIsFieldFILTRDEF_USER_WYWOLAJ_DLA_MNIE(TNullBoolean v) noexcept {
        fIsFieldFILTRDEF_USER_WYWOLAJ_DLA_MNIE = v;
    }
    TNullBoolean IsFieldBLOKADA_SESJA() const noexcept { return fIsFieldBLOKADA_SESJA; }
    void SetIsFieldBLOKADA_SESJA(TNullBoolean v) noexcept { fIsFieldBLOKADA_SESJA = v; }
    TNullBoolean IsFieldUzytkownik_Aktywny() const noexcept { return fIsFieldUzytkownik_Aktywny; }
    void SetIsFieldUzytkownik_Aktywny(TNullBoolean v) noexcept { fIsFieldUzytkownik_Aktywny = v; }
    // The application read its version data on this connection.
    bool OdczytanoWersje() const noexcept { return fOdczytanoWersje; }
    void SetOdczytanoWersje(bool value) noexcept { fOdczytanoWersje = value; }

protected:
    // Run last after every connect and every orderly disconnect; DoDisconnect closes the plan
    // preprocessor.
    virtual void DoConnect() {}
    virtual void DoDisconnect();
    // The handlers installed on OnConnect and AfterDisconnect, each calling first the handler it
    // found there.
    void NewConnectet(TObject* sender);
    void NewAfterDisconnect(TObject* sender);
    // The schema facts of a new component: those known for program group -2, otherwise none.
    void PresetSchemaFacts(int programGroupId);
    // The destruction: the plan preprocessor, then the base's sequence (a detach runs the
    // after-disconnect chain). A descendant with hooks of its own runs it in its destructor.
    void Destroy() noexcept;

private:
    void ResetSchemaFacts() noexcept;

    bool FRemoteSerwer = false;
    std::string FDatabaseDir;
    std::string FSerwerName;
    std::string FDatabaseFileName;
    TIBNetProtocol FProtocolName = npTCP;
    bool FUseMinBuffers = false;
    std::unique_ptr<TSqlPlanPreProc> FPlanPreProcessor;
    std::string FDatabaseFileExt;
    TInfoAboutErrors FInfoError = ieToScreen;
    bool FLoginPrompt = false;
    TFbStrings* FParams;
    TNullBoolean fIsFieldWersjaPR = nbNull;
    bool fOdczytanoWersje = false;
    TNullBoolean fIsTablePlatform = nbNull;
    TNullBoolean fIsFieldBLOKADA_ID_FIRMA = nbNull;
    TNullBoolean fIsTableBLOKADA_PING = nbNull;
    TNullBoolean fIsProcedureNieaktywnyIndex = nbNull;
    TNullBoolean fIsTableREJESTROPER = nbNull;
    TNullBoolean fIsFieldFILTRDEF_USER_WYWOLAJ_DLA_MNIE = nbNull;
    TNullBoolean fIsFieldBLOKADA_SESJA = nbNull;
    TNullBoolean fIsFieldUzytkownik_Aktywny = nbNull;
    std::unique_ptr<TkwGetGenerator> fGetGenerator;
    TNotifyEvent fOldConnected;
    TNotifyEvent fOldAfterDisconnect;
};
