#pragma once
// Generator values: a provider per connection gives the next value of a database generator
// ("GEN_" and the short name) from one prepared statement per name, fetching optionally a block of
// values ahead in one server call.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

class TFbCustomDatabase;
class TFbCustomTransaction;
class TFbQuery;
class TkwTransaction;

// One generator: its prepared statement and the values fetched and not yet handed out.
class TkwGenerator {
public:
    // Builds and prepares "SELECT GEN_ID(GEN_<name>, <bufferSize>) from RDB$DATABASE" on the
    // transaction's default database. A generator missing from the database fails here. A buffer
    // size below 1 is refused before any server call: the server would move the generator back.
    TkwGenerator(const std::string& name, TFbCustomTransaction* transaction, int bufferSize);
    ~TkwGenerator();
    TkwGenerator(const TkwGenerator&) = delete;
    TkwGenerator& operator=(const TkwGenerator&) = delete;

    // The next value; an empty buffer is refilled by one server call, which moves the generator on
    // by the buffer size and hands out the block up to the new value in ascending order.
    std::int64_t GetBufferedId();
    // The value's low 32 bits (no range check), and the value whole.
    std::int32_t GetId();
    std::int64_t GetId64() { return GetBufferedId(); }

private:
    std::unique_ptr<TFbQuery> fQueryGen;
    std::deque<std::int64_t> fBufferedIdList;
    int fBufferSize;
};

class TkwGetGenerator {
public:
    // A provider with a read-only read-committed transaction of its own on the database. The
    // transaction is begun by the first request and never committed: it ends with the provider.
    TkwGetGenerator(TFbCustomDatabase* database, int bufferSize);
    ~TkwGetGenerator();
    TkwGetGenerator(const TkwGetGenerator&) = delete;
    TkwGetGenerator& operator=(const TkwGetGenerator&) = delete;

    // The next value of generator GEN_<name>; names differ without regard to letter case. A name
    // whose generator cannot be prepared is not kept, so every request for it fails anew. Client
    // errors propagate to the caller.
    std::int32_t GetIdValue(const std::string& name);
    std::int64_t GetIdValue64(const std::string& name);

    // Begins the provider's transaction when it is not active.
    void CheckTransaction();
    std::unique_ptr<TkwGenerator> CreateGenerator(const std::string& name, TFbCustomTransaction* transaction);

    TFbCustomDatabase* Database() const noexcept { return FDatabase; }
    TkwTransaction& Transaction() const noexcept { return *FTransaction; }
    int BufferSize() const noexcept { return FBufferSize; }
    std::size_t GeneratorCount() const noexcept { return FGeneratorList.size(); }

private:
    TkwGenerator& Generator(const std::string& name);

    TFbCustomDatabase* FDatabase;
    // Declared before the list: the generators' statements go first, then their transaction.
    std::unique_ptr<TkwTransaction> FTransaction;
    std::map<std::string, std::unique_ptr<TkwGenerator>> FGeneratorList; // by upper-cased name
    int FBufferSize;
};
