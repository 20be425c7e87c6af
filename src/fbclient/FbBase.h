#pragma once
// What the database, transaction and statement components of the client layer share: listener
// lists, the events they publish, and the link (TFbBase) through which a statement hears of its
// database's and transaction's life.

#include "core/Component.h"

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class TFbCustomDatabase;
class TFbCustomTransaction;

using TNotifyEvent = std::function<void(TObject* sender)>;

// How a transaction ends.
enum TTransactionAction : std::uint8_t { TARollback, TARollbackRetaining, TACommit, TACommitRetaining };
enum TTransactionState : std::uint8_t {
    tsActive,
    tsClosed,
    tsDoRollback,
    tsDoRollbackRetaining,
    tsDoCommit,
    tsDoCommitRetaining
};
// An implicit end (disconnect, destruction) must leave no transaction behind, so a retaining
// timeout action is taken as its full form.
inline TTransactionAction ImplicitEndAction(TTransactionAction action) {
    switch (action) {
    case TARollbackRetaining:
        return TARollback;
    case TACommitRetaining:
        return TACommit;
    default:
        return action;
    }
}
using TEndTransactionEvent = std::function<void(TObject* sender, TTransactionAction action, bool force)>;

// Tables of links whose holders keep their index: a freed slot is emptied rather than erased,
// and the next link takes the first empty one. (No parameter is called "slots": Qt's headers make
// that word a macro, and the layers above include both.)
template <class T> int PutInFreeSlot(std::vector<T*>& table, T* item) {
    for (std::size_t i = 0; i < table.size(); ++i)
        if (!table[i]) {
            table[i] = item;
            return static_cast<int>(i);
        }
    table.push_back(item);
    return static_cast<int>(table.size()) - 1;
}

template <class T> void EmptySlot(std::vector<T*>& table, int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < table.size())
        table[static_cast<std::size_t>(index)] = nullptr;
}

// By index, first to last: a handler may empty table (its own or others) meanwhile.
template <class T, class TFn> void ForEachInSlots(std::vector<T*>& table, TFn fn) {
    for (std::size_t i = 0; i < table.size(); ++i)
        if (T* item = table[i])
            fn(*item);
}

// A list of listeners, each added with an id by which it is removed again. Calling runs over a
// copy, so a listener may add or remove listeners meanwhile.
template <class... TArgs> class TFbListeners {
public:
    using TListener = std::function<void(TArgs...)>;

    int Add(TListener listener) {
        FItems.emplace_back(++FLastId, std::move(listener));
        return FLastId;
    }
    void Remove(int id) {
        for (auto it = FItems.begin(); it != FItems.end(); ++it)
            if (it->first == id) {
                FItems.erase(it);
                return;
            }
    }
    std::size_t Count() const noexcept { return FItems.size(); }
    void Clear() noexcept { FItems.clear(); }

    void CallFirstToLast(TArgs... args) const {
        const auto items = FItems;
        for (const auto& item : items)
            item.second(args...);
    }
    void CallLastToFirst(TArgs... args) const {
        const auto items = FItems;
        for (auto it = items.rbegin(); it != items.rend(); ++it)
            it->second(args...);
    }
    // First to last while `go_on()` holds before each call.
    template <class TPred> void CallFirstToLastWhile(TPred goOn, TArgs... args) const {
        const auto items = FItems;
        for (const auto& item : items) {
            if (!goOn())
                return;
            item.second(args...);
        }
    }

private:
    std::vector<std::pair<int, TListener>> FItems;
    int FLastId = 0;
};

// The link between a statement (its owner) and a database and a transaction. The statement sets
// the handlers it needs; the database and the transaction call them. Destroying the link unbinds it.
class TFbBase {
public:
    explicit TFbBase(TObject* owner);
    ~TFbBase();
    TFbBase(const TFbBase&) = delete;
    TFbBase& operator=(const TFbBase&) = delete;

    TObject* Owner() const noexcept { return FOwner; }
    TFbCustomDatabase* Database() const noexcept { return FDatabase; }
    TFbCustomTransaction* Transaction() const noexcept { return FTransaction; }
    // Binds to another database / transaction (null unbinds), leaving the old one's list.
    void SetDatabase(TFbCustomDatabase* database);
    void SetTransaction(TFbCustomTransaction* transaction);
    int DatabaseIndex() const noexcept { return FIndexInDatabase; }
    int TransactionIndex() const noexcept { return FIndexInTransaction; }

    std::function<void()> OnDatabaseConnecting, OnDatabaseConnected, OnDatabaseDisconnecting,
        OnDatabaseDisconnected, OnDatabaseFree;
    std::function<void()> OnTransactionStarting, OnTransactionStarted, OnTransactionEnding,
        OnTransactionEnded, OnTransactionFree;
    // Closing as lost: the statement forgets its server handle, closes and unprepares
    // itself without any client call. Errors are ignored by the caller.
    std::function<void()> OnDatabaseLost;

private:
    friend class TFbCustomDatabase;
    friend class TFbCustomTransaction;

    TObject* FOwner;
    TFbCustomDatabase* FDatabase = nullptr;
    int FIndexInDatabase = -1;
    TFbCustomTransaction* FTransaction = nullptr;
    int FIndexInTransaction = -1;
};
