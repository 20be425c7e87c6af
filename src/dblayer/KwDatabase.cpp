#include "dblayer/KwDatabase.h"

#include "core/KwUtils.h"
#include "dblayer/KwGenerator.h"
#include "dblayer/KwSQL.h"
#include "dblayer/KwTransaction.h"
#include "dblayer/SqlPlanPreProc.h"
#include "fbclient/FbParams.h"
#include "platform/Credentials.h"
#include "platform/VersionInfo.h"

std::string MakeIbDatabaseName(bool remote, const std::string& serwer, TIBNetProtocol protocol,
                               const std::string& dir, const std::string& fileName) {
    return DatabaseLocation(remote, serwer, protocol, MakeFileName(dir, fileName));
}

std::string StrUserName() {
    return "SYSKWR";
}

TkwDatabase::TkwDatabase(TComponent* owner) : TFbDatabase(owner), FParams(&DBParams()) {
    SetSQLDialect(3);
    PresetSchemaFacts(platform::ProgramGroupId());
    fOldConnected = std::move(OnConnect);
    OnConnect = [this](TObject* sender) { NewConnectet(sender); };
    fOldAfterDisconnect = std::move(AfterDisconnect);
    AfterDisconnect = [this](TObject* sender) { NewAfterDisconnect(sender); };
}

TkwDatabase::~TkwDatabase() {
    Destroy();
}

void TkwDatabase::Destroy() noexcept {
    FPlanPreProcessor.reset();
    TFbCustomDatabase::Destroy();
}

void TkwDatabase::PresetSchemaFacts(int programGroupId) {
    ResetSchemaFacts();
    if (programGroupId != -2)
        return;
    fIsFieldWersjaPR = nbTrue;
    fIsTablePlatform = nbTrue;
    fIsFieldBLOKADA_ID_FIRMA = nbTrue;
    fIsTableBLOKADA_PING = nbTrue;
    fIsTableREJESTROPER = nbTrue;
    fIsFieldFILTRDEF_USER_WYWOLAJ_DLA_MNIE = nbTrue;
    fIsFieldBLOKADA_SESJA = nbTrue;
    fIsFieldUzytkownik_Aktywny = nbTrue;
    fIsProcedureNieaktywnyIndex = nbFalse;
}

void TkwDatabase::ResetSchemaFacts() noexcept {
    for (TNullBoolean* fact :
         {&fIsFieldWersjaPR, &fIsTablePlatform, &fIsFieldBLOKADA_ID_FIRMA, &fIsTableBLOKADA_PING,
          &fIsProcedureNieaktywnyIndex, &fIsTableREJESTROPER, &fIsFieldFILTRDEF_USER_WYWOLAJ_DLA_MNIE,
          &fIsFieldBLOKADA_SESJA, &fIsFieldUzytkownik_Aktywny})
        *fact = nbNull;
}

void TkwDatabase::PrepareParams() {
    std::string name = FDatabaseFileName;
    if (name.find('.') == std::string::npos && !FDatabaseFileExt.empty())
        name += FDatabaseFileExt;
    SetDBName(MakeIbDatabaseName(FRemoteSerwer, FSerwerName, FProtocolName, FDatabaseDir, name));
    TFbStrings& params = DBParams();
    params.Clear();
    params.Add("user_name=" + StrUserName());
    params.Add("password=" + platform::SystemAccountPassword());
    params.Add("lc_ctype=WIN1250");
    if (FUseMinBuffers)
        params.Add("num_buffers=250");
}

void TkwDatabase::NewConnectet(TObject* sender) {
    if (fOldConnected)
        fOldConnected(sender);
    fGetGenerator = std::make_unique<TkwGetGenerator>(this, 1);
    DoConnect();
}

void TkwDatabase::NewAfterDisconnect(TObject* sender) {
    if (fOldAfterDisconnect)
        fOldAfterDisconnect(sender);
    fOdczytanoWersje = false;
    ResetSchemaFacts();
    fGetGenerator.reset();
    DoDisconnect();
}

void TkwDatabase::DoDisconnect() {
    if (FPlanPreProcessor && FPlanPreProcessor->Active())
        FPlanPreProcessor->Close();
}

void TkwDatabase::CheckPlanPreProcessor() {
    if (!FPlanPreProcessor)
        FPlanPreProcessor = std::make_unique<TSqlPlanPreProc>(DefaultTransaction());
    if (!FPlanPreProcessor->Active())
        FPlanPreProcessor->Open();
}

std::string TkwDatabase::PreProcPlan(const std::string& plan) {
    if (plan.empty())
        return {};
    CheckPlanPreProcessor();
    return FPlanPreProcessor->ProcessPlan(plan);
}

std::string TkwDatabase::GetExceptionName(int number) {
    TkwTransaction transaction(nullptr);
    transaction.SetDefaultDatabase(this);
    transaction.kwBeginTrans("");
    TkwSQL sql(nullptr);
    sql.SetTransaction(&transaction);
    sql.SetDatabase(this);
    sql.SQL().Assign({"SELECT RDB$EXCEPTION_NAME", "FROM RDB$EXCEPTIONS",
                      "WHERE RDB$EXCEPTION_NUMBER = " + std::to_string(number)});
    // Both end on every path; the statement and the transaction are released by their scopes.
    const auto finish = [&] {
        sql.kwClose("");
        transaction.kwCommit("");
    };
    std::string name;
    try {
        if (sql.kwExecQuery("") && sql.FieldCount() > 0)
            name = FbTrim(sql.Fields(0).AsString());
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return name;
}
