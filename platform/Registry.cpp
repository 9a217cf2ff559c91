// The registry on SQLite: hive files, key handles, values and transactions.
#include "Registry.h"

#include "KernelObjects.h"
#include "Utf16.h"

#include <QString>
#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>
#include <string>
#include <unordered_set>
#include <utility>

struct QlwRegKey__ {
  int hive;
  int64_t id;
  REGSAM access;
  std::shared_ptr<qlw::KernelObject> transaction;
};

#define ERROR_TRANSACTION_NOT_ACTIVE 6701

namespace qlw {
namespace {

enum Hive { kMachine = 0, kUser = 1, kUsers = 2, kHiveCount = 3 };
const char* const kHiveFiles[kHiveCount] = {"HKEY_LOCAL_MACHINE.db", "HKEY_CURRENT_USER.db", "HKEY_USERS.db"};
constexpr int64_t kRootId = 1;
constexpr int kBusyTimeoutMs = 20000;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,"
    " name TEXT NOT NULL, fold TEXT NOT NULL, written INTEGER NOT NULL DEFAULT 0, UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals(key INTEGER NOT NULL, name TEXT NOT NULL, fold TEXT NOT NULL,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, fold)) WITHOUT ROWID;"
    "INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES(1, 0, '', '');";

struct SqlError {
  int code;
};
struct Win32Status {
  LSTATUS code;
};

// Prepared statements kept per connection and text, as a start reads and writes hundreds of
// values and preparing the same few statements again was a tenth of it. One that is in use (a
// call inside another) is prepared anew for the inner use.
struct CachedStatement {
  sqlite3_stmt* stmt = nullptr;
  bool busy = false;
};
std::mutex g_statementsMutex;
std::map<std::pair<sqlite3*, std::string>, CachedStatement>& Statements() {
  static std::map<std::pair<sqlite3*, std::string>, CachedStatement> statements;
  return statements;
}

// Closes a connection with the statements kept for it.
void CloseConnection(sqlite3* db) {
  if (!db) return;
  {
    std::lock_guard<std::mutex> lock(g_statementsMutex);
    auto& statements = Statements();
    for (auto it = statements.lower_bound({db, std::string()}); it != statements.end() && it->first.first == db;) {
      sqlite3_finalize(it->second.stmt);
      it = statements.erase(it);
    }
  }
  sqlite3_close(db);
}

class Stmt {
 public:
  Stmt(sqlite3* db, const char* sql) {
    std::lock_guard<std::mutex> lock(g_statementsMutex);
    CachedStatement& cached = Statements()[{db, sql}];
    if (cached.stmt && !cached.busy) {
      m_stmt = cached.stmt;
      m_cached = &cached;
      cached.busy = true;
      return;
    }
    int rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_stmt, nullptr);
    if (rc != SQLITE_OK) {
      if (!cached.stmt) Statements().erase({db, sql});
      throw SqlError{rc};
    }
    if (!cached.stmt) {
      cached.stmt = m_stmt;
      cached.busy = true;
      m_cached = &cached;
    }
  }
  ~Stmt() {
    if (!m_cached) {
      sqlite3_finalize(m_stmt);
      return;
    }
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    std::lock_guard<std::mutex> lock(g_statementsMutex);
    m_cached->busy = false;
  }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  Stmt& Bind(int i, int64_t v) {
    sqlite3_bind_int64(m_stmt, i, v);
    return *this;
  }
  Stmt& Bind(int i, const std::string& v) {
    sqlite3_bind_text(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Stmt& BindBlob(int i, const std::vector<BYTE>& v) {
    // An empty vector has no data pointer, which SQLite would store as NULL: keep it a value.
    if (v.empty())
      sqlite3_bind_zeroblob(m_stmt, i, 0);
    else
      sqlite3_bind_blob(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  bool Step() {
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw SqlError{rc};
  }
  int64_t Int(int c) { return sqlite3_column_int64(m_stmt, c); }
  std::string Text(int c) {
    const unsigned char* t = sqlite3_column_text(m_stmt, c);
    return t ? std::string(reinterpret_cast<const char*>(t), sqlite3_column_bytes(m_stmt, c)) : std::string();
  }
  std::vector<BYTE> Blob(int c) {
    const BYTE* b = static_cast<const BYTE*>(sqlite3_column_blob(m_stmt, c));
    return b ? std::vector<BYTE>(b, b + sqlite3_column_bytes(m_stmt, c)) : std::vector<BYTE>();
  }

 private:
  sqlite3_stmt* m_stmt = nullptr;
  CachedStatement* m_cached = nullptr;  // in the map, whose entries stay where they are
};

void Exec(sqlite3* db, const char* sql) {
  int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) throw SqlError{rc};
}

bool IsDamage(int code) {
  code &= 0xFF;
  return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string Fold(const std::wstring& name) {
  return QString::fromStdWString(name).toCaseFolded().toStdString();
}

std::string Folder() {
  std::string dir;
  if (const char* env = getenv("QLW_REGISTRY_DIR"); env && *env) {
    dir = env;
  } else {
    std::string config;
    if (const char* xdg = getenv("XDG_CONFIG_HOME"); xdg && *xdg)
      config = xdg;
    else
      config = std::string(getenv("HOME") ? getenv("HOME") : "/tmp") + "/.config";
    dir = config + "/quillonographic/registry";
  }
  MakeFolders(dir);
  return dir;
}

// Moves a damaged database (with its journal files) aside under a time-stamped name.
void MoveAside(const std::string& path, const char* why) {
  char stamp[32];
  time_t now = time(nullptr);
  struct tm tmNow;
  localtime_r(&now, &tmNow);
  strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tmNow);
  std::string target = path + ".damaged-" + stamp;
  for (int n = 2; access(target.c_str(), F_OK) == 0; ++n) target = path + ".damaged-" + stamp + "-" + std::to_string(n);
  if (rename(path.c_str(), target.c_str()) != 0) unlink(path.c_str());
  rename((path + "-wal").c_str(), (target + "-wal").c_str());
  rename((path + "-shm").c_str(), (target + "-shm").c_str());
  fprintf(stderr, "registry: %s is damaged (%s); moved aside to %s, starting a fresh one\n", path.c_str(), why,
          target.c_str());
}

sqlite3* OpenConnection(const std::string& path) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    CloseConnection(db);
    throw SqlError{rc};
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // A commit reaches the write-ahead log without waiting for the disk, as the registry flushes
  // lazily: a crashed program loses nothing, a power cut at most the last moments, and the file
  // stays whole. Waiting for the disk at every value made a save of a hundred values take a
  // third of a second on a busy machine.
  sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  return db;
}

// Opens a hive database, checking it once; a damaged one is moved aside and replaced. The lock
// file keeps two processes from both moving aside (and so losing) a fresh database.
sqlite3* OpenHiveFile(const std::string& path) {
  int guard = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (guard >= 0) flock(guard, LOCK_EX);
  struct Unlock {
    int fd;
    ~Unlock() {
      if (fd >= 0) close(fd);
    }
  } unlock{guard};
  for (int attempt = 0;; ++attempt) {
    sqlite3* db = OpenConnection(path);
    try {
      Exec(db, "PRAGMA journal_mode=WAL");
      std::string check;
      {
        Stmt quick(db, "PRAGMA quick_check");
        if (quick.Step()) check = quick.Text(0);
      }
      if (check != "ok") throw SqlError{SQLITE_CORRUPT};
      Exec(db, kSchema);
      return db;
    } catch (const SqlError& e) {
      CloseConnection(db);
      if (!IsDamage(e.code) || attempt > 0) throw;
      MoveAside(path, e.code == SQLITE_NOTADB ? "not a database" : "corrupt");
    }
  }
}

struct HiveStore {
  std::recursive_mutex mutex;
  sqlite3* db = nullptr;
  std::string path;

  sqlite3* Db() {
    if (!db) {
      path = Folder() + "/" + kHiveFiles[this - Stores()];
      db = OpenHiveFile(path);
    }
    return db;
  }
  // A batch of this process holds the hive: its lock, and its transaction from the first call.
  std::unique_lock<std::recursive_mutex> batchLock;
  bool batchOpen = false;

  // After damage is found during a call: the next call opens (and checks) the file again.
  void Drop() {
    if (db) CloseConnection(db);
    db = nullptr;
  }
  static HiveStore* Stores();
};

HiveStore* HiveStore::Stores() {
  static HiveStore stores[kHiveCount];
  return stores;
}

// A transaction holds its own connection per hive, each inside BEGIN IMMEDIATE from first use
// to commit or rollback.
class TransactionObject : public KernelObject {
 public:
  ~TransactionObject() override { Finish(false); }

  sqlite3* Begin(int hive) {
    if (!m_active) throw Win32Status{ERROR_TRANSACTION_NOT_ACTIVE};
    if (!m_conns[hive]) {
      HiveStore::Stores()[hive].mutex.lock();
      std::string path;
      try {
        HiveStore::Stores()[hive].Db();  // checks or repairs the file once
        path = HiveStore::Stores()[hive].path;
      } catch (...) {
        HiveStore::Stores()[hive].mutex.unlock();
        throw;
      }
      HiveStore::Stores()[hive].mutex.unlock();
      sqlite3* db = OpenConnection(path);
      try {
        Exec(db, "BEGIN IMMEDIATE");
      } catch (...) {
        CloseConnection(db);
        throw;
      }
      m_conns[hive] = db;
    }
    return m_conns[hive];
  }

  bool Finish(bool commit) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (!m_active) return false;
    m_active = false;
    bool ok = true;
    for (sqlite3*& db : m_conns) {
      if (!db) continue;
      if (sqlite3_exec(db, commit ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        ok = false;
      }
      CloseConnection(db);
      db = nullptr;
    }
    return ok;
  }

  std::recursive_mutex mutex;

 private:
  bool m_active = true;
  sqlite3* m_conns[kHiveCount] = {};
};

std::mutex g_keysMutex;
std::unordered_set<HKEY>& Keys() {
  static std::unordered_set<HKEY> keys;
  return keys;
}

// What a call works on: the hive, the key id (or a path below the hive root for a predefined key
// that is itself a path), the access and the transaction.
struct KeyRef {
  int hive = kUser;
  int64_t id = kRootId;
  bool predefined = false;
  std::vector<std::wstring> prefix;
  REGSAM access = KEY_ALL_ACCESS;
  std::shared_ptr<TransactionObject> transaction;
};

bool IsPredefined(HKEY key) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(key);
  return v >= 0x80000000u && v <= 0x80000003u;
}

LSTATUS Resolve(HKEY key, KeyRef* ref) {
  if (IsPredefined(key)) {
    ref->predefined = true;
    switch (reinterpret_cast<uintptr_t>(key)) {
      case 0x80000000u:
        ref->hive = kMachine;
        ref->prefix = {L"SOFTWARE", L"Classes"};
        break;
      case 0x80000001u: ref->hive = kUser; break;
      case 0x80000002u: ref->hive = kMachine; break;
      default: ref->hive = kUsers; break;
    }
    return ERROR_SUCCESS;
  }
  std::lock_guard<std::mutex> lock(g_keysMutex);
  if (!key || !Keys().count(key)) return ERROR_INVALID_HANDLE;
  ref->hive = key->hive;
  ref->id = key->id;
  ref->access = key->access;
  ref->transaction = std::static_pointer_cast<TransactionObject>(key->transaction);
  return ERROR_SUCCESS;
}

std::vector<std::wstring> SplitPath(LPCWSTR path) {
  std::vector<std::wstring> parts;
  if (!path) return parts;
  std::wstring current;
  for (const wchar_t* p = path; *p; ++p) {
    if (*p == L'\\') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += *p;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

// One registry call: the hive's connection inside its own transaction, or the caller's
// transaction. Writes take the write lock at once so that concurrent writers queue instead of
// failing at commit.
thread_local int t_batchDepth = 0;
thread_local bool t_batchHives[kHiveCount] = {};  // the hives whose transaction this thread's batch opened

class Call {
 public:
  Call(const KeyRef& ref, bool write) : m_hive(ref.hive) {
    if (ref.transaction) {
      m_txnLock = std::unique_lock<std::recursive_mutex>(ref.transaction->mutex);
      db = ref.transaction->Begin(ref.hive);
      return;
    }
    HiveStore& store = HiveStore::Stores()[m_hive];
    m_hiveLock = std::unique_lock<std::recursive_mutex>(store.mutex);
    db = store.Db();
    if (t_batchDepth > 0) {
      if (!store.batchOpen) {
        Exec(db, "BEGIN IMMEDIATE");
        store.batchLock = std::unique_lock<std::recursive_mutex>(store.mutex);
        store.batchOpen = true;
        t_batchHives[m_hive] = true;
      }
      Exec(db, "SAVEPOINT qlw_call");
      m_savepoint = true;
      return;
    }
    Exec(db, write ? "BEGIN IMMEDIATE" : "BEGIN");
    m_own = true;
  }
  ~Call() {
    if (m_own && !m_done) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (m_savepoint && !m_done) sqlite3_exec(db, "ROLLBACK TO qlw_call; RELEASE qlw_call", nullptr, nullptr, nullptr);
  }
  void Commit() {
    if (m_own) Exec(db, "COMMIT");
    if (m_savepoint) Exec(db, "RELEASE qlw_call");
    m_done = true;
  }
  void Damaged() {
    HiveStore& store = HiveStore::Stores()[m_hive];
    if (m_own || m_savepoint) {
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      m_done = true;
      if (m_savepoint) {
        // The batch's transaction is gone with the file: later calls of the batch begin anew.
        store.batchOpen = false;
        store.batchLock = std::unique_lock<std::recursive_mutex>();
        t_batchHives[m_hive] = false;
      }
      store.Drop();
    }
  }

  sqlite3* db = nullptr;

 private:
  int m_hive;
  bool m_own = false;
  bool m_savepoint = false;
  bool m_done = false;
  std::unique_lock<std::recursive_mutex> m_hiveLock;
  std::unique_lock<std::recursive_mutex> m_txnLock;
};

LSTATUS MapSqlError(int code) {
  switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return ERROR_BUSY;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return ERROR_REGISTRY_CORRUPT;
    case SQLITE_FULL: return ERROR_DISK_FULL;
    case SQLITE_READONLY:
    case SQLITE_PERM: return ERROR_ACCESS_DENIED;
    case SQLITE_CANTOPEN: return ERROR_CANTOPEN;
    default: return ERROR_REGISTRY_IO_FAILED;
  }
}

template <typename Body>
LSTATUS Run(HKEY key, bool write, Body&& body) {
  KeyRef ref;
  LSTATUS status = Resolve(key, &ref);
  if (status != ERROR_SUCCESS) return status;
  std::unique_ptr<Call> call;
  try {
    call = std::make_unique<Call>(ref, write);
    status = body(*call, ref);
    if (status == ERROR_SUCCESS) call->Commit();
    return status;
  } catch (const Win32Status& s) {
    return s.code;
  } catch (const SqlError& e) {
    if (IsDamage(e.code)) {
      if (call)
        call->Damaged();
      else
        HiveStore::Stores()[ref.hive].Drop();
    }
    return MapSqlError(e.code);
  }
}

int64_t FindChild(sqlite3* db, int64_t parent, const std::wstring& name) {
  Stmt s(db, "SELECT id FROM keys WHERE parent = ?1 AND fold = ?2");
  s.Bind(1, parent).Bind(2, Fold(name));
  return s.Step() ? s.Int(0) : 0;
}

int64_t AddChild(sqlite3* db, int64_t parent, const std::wstring& name) {
  Stmt s(db, "INSERT INTO keys(parent, name, fold, written) VALUES(?1, ?2, ?3, ?4)");
  s.Bind(1, parent).Bind(2, ToUtf8(name)).Bind(3, Fold(name)).Bind(4, NowMs());
  s.Step();
  return sqlite3_last_insert_rowid(db);
}

// The key a handle stands for; a key deleted since it was opened answers ERROR_KEY_DELETED.
int64_t BaseKey(sqlite3* db, const KeyRef& ref, bool create) {
  if (!ref.predefined) {
    Stmt s(db, "SELECT 1 FROM keys WHERE id = ?1");
    s.Bind(1, ref.id);
    if (!s.Step()) throw Win32Status{ERROR_KEY_DELETED};
    return ref.id;
  }
  int64_t id = kRootId;
  for (const auto& part : ref.prefix) {
    int64_t child = FindChild(db, id, part);
    if (!child) {
      if (!create) throw Win32Status{ERROR_FILE_NOT_FOUND};
      child = AddChild(db, id, part);
    }
    id = child;
  }
  return id;
}

// Walks a sub-key path; 0 when a part is missing and create is false.
int64_t Walk(sqlite3* db, int64_t id, const std::vector<std::wstring>& parts, bool create, bool* created) {
  if (created) *created = false;
  for (const auto& part : parts) {
    int64_t child = FindChild(db, id, part);
    if (!child) {
      if (!create) return 0;
      child = AddChild(db, id, part);
      if (created) *created = true;
    }
    id = child;
  }
  return id;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Copies a value into the caller's buffer with the platform's size rules; strings are UTF-16LE
// bytes like every other value, so what is delivered is what is stored.
LSTATUS Deliver(DWORD type, const std::vector<BYTE>& stored, LPDWORD typeOut, LPBYTE data, LPDWORD byteCount) {
  if (typeOut) *typeOut = type;
  if (data && !byteCount) return ERROR_INVALID_PARAMETER;
  if (!byteCount) return ERROR_SUCCESS;
  const DWORD capacity = *byteCount;
  *byteCount = static_cast<DWORD>(stored.size());
  if (!data) return ERROR_SUCCESS;
  if (stored.size() > capacity) return ERROR_MORE_DATA;
  if (!stored.empty()) memcpy(data, stored.data(), stored.size());
  return ERROR_SUCCESS;
}

void Touch(sqlite3* db, int64_t id) {
  Stmt s(db, "UPDATE keys SET written = ?2 WHERE id = ?1");
  s.Bind(1, id).Bind(2, NowMs());
  s.Step();
}

bool HasChildren(sqlite3* db, int64_t id) {
  Stmt s(db, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
  s.Bind(1, id);
  return s.Step();
}

// Deletes the values and sub-keys below id, and id itself unless keepSelf (the root always stays).
void DeleteSubtree(sqlite3* db, int64_t id, bool keepSelf) {
  const char* const kSub = "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id) ";
  {
    Stmt s(db, (std::string(kSub) + "DELETE FROM vals WHERE key IN (SELECT id FROM sub)").c_str());
    s.Bind(1, id);
    s.Step();
  }
  Stmt s(db, (std::string(kSub) + "DELETE FROM keys WHERE id IN (SELECT id FROM sub) AND id <> ?2 AND id <> 1").c_str());
  s.Bind(1, id).Bind(2, keepSelf ? id : int64_t(-1));
  s.Step();
}

HKEY NewHandle(int hive, int64_t id, REGSAM access, std::shared_ptr<KernelObject> transaction) {
  HKEY key = new QlwRegKey__{hive, id, access, std::move(transaction)};
  std::lock_guard<std::mutex> lock(g_keysMutex);
  Keys().insert(key);
  return key;
}

LSTATUS CreateKey(HKEY key, LPCWSTR subKey, REGSAM access, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  return Run(key, true, [&](Call& call, KeyRef& ref) -> LSTATUS {
    if (!(ref.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    bool created = false;
    int64_t base = BaseKey(call.db, ref, true);
    int64_t id = Walk(call.db, base, SplitPath(subKey), true, &created);
    if (created) Touch(call.db, base);
    *result = NewHandle(ref.hive, id, access, ref.transaction);
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
  });
}

// Never creates anything, not even the path of a predefined key.
LSTATUS OpenKey(HKEY key, LPCWSTR subKey, REGSAM access, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  return Run(key, false, [&](Call& call, KeyRef& ref) -> LSTATUS {
    int64_t base = BaseKey(call.db, ref, false);
    int64_t id = Walk(call.db, base, SplitPath(subKey), false, nullptr);
    if (!id) return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(ref.hive, id, access, ref.transaction);
    return ERROR_SUCCESS;
  });
}

// A transacted create or open on a key that is not itself transacted: a handle to the same key
// bound to the transaction, through which the call is made.
template <typename F>
LSTATUS WithTransaction(HKEY key, HANDLE transaction, bool createBase, F&& callOnBound) {
  auto txn = FindHandleOf<TransactionObject>(transaction);
  if (!txn) return ERROR_INVALID_HANDLE;
  KeyRef ref;
  LSTATUS status = Resolve(key, &ref);
  if (status != ERROR_SUCCESS) return status;
  if (ref.transaction) {
    if (ref.transaction != txn) return ERROR_INVALID_PARAMETER;
    return callOnBound(key);
  }
  QlwRegKey__ bound{ref.hive, ref.id, ref.access, txn};
  HKEY temp = &bound;
  {
    std::lock_guard<std::mutex> lock(g_keysMutex);
    Keys().insert(temp);
  }
  if (ref.predefined) {
    // Predefined keys resolve through their path inside the transaction.
    try {
      std::lock_guard<std::recursive_mutex> lock(txn->mutex);
      sqlite3* db = txn->Begin(ref.hive);
      bound.id = BaseKey(db, ref, createBase);
    } catch (const Win32Status& s) {
      status = s.code;
    } catch (const SqlError& e) {
      status = MapSqlError(e.code);
    }
  }
  if (status == ERROR_SUCCESS) status = callOnBound(temp);
  std::lock_guard<std::mutex> lock(g_keysMutex);
  Keys().erase(temp);
  return status;
}

// The stored type and bytes of a value of the key a handle stands for.
LSTATUS FindValue(Call& call, const KeyRef& ref, LPCWSTR valueName, DWORD* type, std::vector<BYTE>* bytes) {
  Stmt s(call.db, "SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2");
  s.Bind(1, BaseKey(call.db, ref, false)).Bind(2, Fold(valueName ? valueName : L""));
  if (!s.Step()) return ERROR_FILE_NOT_FOUND;
  *type = static_cast<DWORD>(s.Int(0));
  *bytes = s.Blob(1);
  return ERROR_SUCCESS;
}

}  // namespace

RegistryBatch::RegistryBatch() { ++t_batchDepth; }

RegistryBatch::~RegistryBatch() {
  if (--t_batchDepth > 0) return;
  for (int hive = 0; hive < kHiveCount; ++hive) {
    if (!t_batchHives[hive]) continue;
    t_batchHives[hive] = false;
    HiveStore& store = HiveStore::Stores()[hive];
    std::lock_guard<std::recursive_mutex> lock(store.mutex);
    if (store.db && sqlite3_exec(store.db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
      sqlite3_exec(store.db, "ROLLBACK", nullptr, nullptr, nullptr);
    store.batchOpen = false;
    store.batchLock.unlock();
    store.batchLock = std::unique_lock<std::recursive_mutex>();
  }
}

LSTATUS RegQueryStoredValue(HKEY key, LPCWSTR valueName, DWORD* type, std::vector<BYTE>* bytes) {
  return Run(key, false, [&](Call& call, KeyRef& ref) -> LSTATUS {
    if (!(ref.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    DWORD storedType = 0;
    std::vector<BYTE> stored;
    const LSTATUS status = FindValue(call, ref, valueName, &storedType, &stored);
    if (status != ERROR_SUCCESS) return status;
    if (type) *type = storedType;
    if (bytes) *bytes = std::move(stored);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegSetStringValue(HKEY key, LPCWSTR valueName, std::wstring_view text, DWORD type) {
  std::vector<BYTE> bytes = ToUtf16LE(text);
  bytes.insert(bytes.end(), 2, 0);
  return RegSetValueExW(key, valueName, 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
}

LSTATUS RegQueryStringValue(HKEY key, LPCWSTR valueName, std::wstring* text, DWORD* type) {
  DWORD storedType = 0;
  std::vector<BYTE> stored;
  const LSTATUS status = RegQueryStoredValue(key, valueName, &storedType, &stored);
  if (status != ERROR_SUCCESS) return status;
  if (type) *type = storedType;
  if (!IsStringType(storedType)) return ERROR_INVALID_DATA;
  std::wstring decoded = FromUtf16LE(stored.data(), stored.size());
  decoded.resize(std::min(decoded.size(), decoded.find(L'\0')));
  if (text) *text = std::move(decoded);
  return ERROR_SUCCESS;
}

}  // namespace qlw

using namespace qlw;

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM access, void*, PHKEY result,
                        LPDWORD disposition) {
  return CreateKey(key, subKey, access, result, disposition);
}

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM access, PHKEY result) {
  return OpenKey(key, subKey, access, result);
}

LSTATUS RegCloseKey(HKEY key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  {
    std::lock_guard<std::mutex> lock(g_keysMutex);
    if (!key || !Keys().erase(key)) return ERROR_INVALID_HANDLE;
  }
  delete key;
  return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD byteCount) {
  if (!data && byteCount) return ERROR_INVALID_PARAMETER;
  const std::vector<BYTE> stored = data ? std::vector<BYTE>(data, data + byteCount) : std::vector<BYTE>();
  const std::wstring name = valueName ? valueName : L"";
  return Run(key, true, [&](Call& call, KeyRef& ref) -> LSTATUS {
    if (!(ref.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    int64_t id = BaseKey(call.db, ref, true);
    Stmt s(call.db, "INSERT OR REPLACE INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5)");
    s.Bind(1, id).Bind(2, ToUtf8(name)).Bind(3, Fold(name)).Bind(4, static_cast<int64_t>(type)).BindBlob(5, stored);
    s.Step();
    Touch(call.db, id);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD byteCount) {
  DWORD storedType = 0;
  std::vector<BYTE> stored;
  const LSTATUS status = RegQueryStoredValue(key, valueName, &storedType, &stored);
  if (status != ERROR_SUCCESS) return status;
  return Deliver(storedType, stored, type, data, byteCount);
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  return Run(key, true, [&](Call& call, KeyRef& ref) -> LSTATUS {
    if (!(ref.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    int64_t id = BaseKey(call.db, ref, false);
    Stmt s(call.db, "DELETE FROM vals WHERE key = ?1 AND fold = ?2");
    s.Bind(1, id).Bind(2, Fold(valueName ? valueName : L""));
    s.Step();
    if (sqlite3_changes(call.db) == 0) return ERROR_FILE_NOT_FOUND;
    Touch(call.db, id);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  return Run(key, true, [&](Call& call, KeyRef& ref) -> LSTATUS {
    int64_t base = BaseKey(call.db, ref, false);
    int64_t id = Walk(call.db, base, SplitPath(subKey), false, nullptr);
    if (!id) return ERROR_FILE_NOT_FOUND;
    if (id == kRootId || (ref.predefined && id == base)) return ERROR_ACCESS_DENIED;
    if (HasChildren(call.db, id)) return ERROR_ACCESS_DENIED;
    DeleteSubtree(call.db, id, false);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegDeleteKeyExW(HKEY key, LPCWSTR subKey, REGSAM, DWORD) { return RegDeleteKeyW(key, subKey); }

LSTATUS RegDeleteTreeW(HKEY key, LPCWSTR subKey) {
  return Run(key, true, [&](Call& call, KeyRef& ref) -> LSTATUS {
    int64_t base = BaseKey(call.db, ref, false);
    const auto parts = SplitPath(subKey);
    if (parts.empty()) {
      DeleteSubtree(call.db, base, true);
      return ERROR_SUCCESS;
    }
    int64_t id = Walk(call.db, base, parts, false, nullptr);
    if (!id) return ERROR_FILE_NOT_FOUND;
    DeleteSubtree(call.db, id, false);
    return ERROR_SUCCESS;
  });
}

LSTATUS SHDeleteKeyW(HKEY key, LPCWSTR subKey) {
  return Run(key, true, [&](Call& call, KeyRef& ref) -> LSTATUS {
    int64_t base = BaseKey(call.db, ref, false);
    int64_t id = Walk(call.db, base, SplitPath(subKey), false, nullptr);
    if (!id) return ERROR_FILE_NOT_FOUND;
    DeleteSubtree(call.db, id, id == kRootId || (ref.predefined && id == base));
    return ERROR_SUCCESS;
  });
}

// Copies a name into a caller's buffer of *chars characters (terminator included).
static LSTATUS DeliverName(const std::wstring& name, LPWSTR out, LPDWORD chars) {
  if (!out || !chars) return ERROR_INVALID_PARAMETER;
  if (name.size() + 1 > *chars) {
    *chars = static_cast<DWORD>(name.size());
    return ERROR_MORE_DATA;
  }
  std::copy(name.begin(), name.end(), out);
  out[name.size()] = L'\0';
  *chars = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

static FILETIME ToFileTime(int64_t unixMs) {
  const uint64_t ticks = static_cast<uint64_t>(unixMs) * 10000u + 116444736000000000ull;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD, LPWSTR keyClass,
                      LPDWORD classChars, PFILETIME lastWrite) {
  return Run(key, false, [&](Call& call, KeyRef& ref) -> LSTATUS {
    if (!(ref.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    int64_t id = BaseKey(call.db, ref, false);
    Stmt s(call.db, "SELECT name, written FROM keys WHERE parent = ?1 ORDER BY fold LIMIT 1 OFFSET ?2");
    s.Bind(1, id).Bind(2, static_cast<int64_t>(index));
    if (!s.Step()) return ERROR_NO_MORE_ITEMS;
    if (keyClass && classChars && *classChars) keyClass[0] = L'\0';
    if (classChars) *classChars = 0;
    if (lastWrite) *lastWrite = ToFileTime(s.Int(1));
    return DeliverName(FromUtf8(s.Text(0)), name, nameChars);
  });
}

LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD, LPDWORD type, LPBYTE data,
                      LPDWORD byteCount) {
  return Run(key, false, [&](Call& call, KeyRef& ref) -> LSTATUS {
    if (!(ref.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    int64_t id = BaseKey(call.db, ref, false);
    Stmt s(call.db, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY fold LIMIT 1 OFFSET ?2");
    s.Bind(1, id).Bind(2, static_cast<int64_t>(index));
    if (!s.Step()) return ERROR_NO_MORE_ITEMS;
    LSTATUS status = DeliverName(FromUtf8(s.Text(0)), name, nameChars);
    if (status != ERROR_SUCCESS) return status;
    return Deliver(static_cast<DWORD>(s.Int(1)), s.Blob(2), type, data, byteCount);
  });
}

LSTATUS RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classChars, LPDWORD, LPDWORD subKeys,
                         LPDWORD maxSubKeyChars, LPDWORD maxClassChars, LPDWORD values, LPDWORD maxValueNameChars,
                         LPDWORD maxValueBytes, LPDWORD securityDescriptorBytes, PFILETIME lastWrite) {
  return Run(key, false, [&](Call& call, KeyRef& ref) -> LSTATUS {
    int64_t id = BaseKey(call.db, ref, false);
    DWORD keyCount = 0, keyLen = 0, valueCount = 0, nameLen = 0, dataLen = 0;
    {
      Stmt s(call.db, "SELECT name FROM keys WHERE parent = ?1");
      s.Bind(1, id);
      while (s.Step()) {
        ++keyCount;
        keyLen = std::max<DWORD>(keyLen, static_cast<DWORD>(FromUtf8(s.Text(0)).size()));
      }
    }
    {
      Stmt s(call.db, "SELECT name, length(data) FROM vals WHERE key = ?1");
      s.Bind(1, id);
      while (s.Step()) {
        ++valueCount;
        nameLen = std::max<DWORD>(nameLen, static_cast<DWORD>(FromUtf8(s.Text(0)).size()));
        dataLen = std::max<DWORD>(dataLen, static_cast<DWORD>(s.Int(1)));
      }
    }
    int64_t written = 0;
    {
      Stmt s(call.db, "SELECT written FROM keys WHERE id = ?1");
      s.Bind(1, id);
      if (s.Step()) written = s.Int(0);
    }
    if (keyClass && classChars && *classChars) keyClass[0] = L'\0';
    if (classChars) *classChars = 0;
    if (subKeys) *subKeys = keyCount;
    if (maxSubKeyChars) *maxSubKeyChars = keyLen;
    if (maxClassChars) *maxClassChars = 0;
    if (values) *values = valueCount;
    if (maxValueNameChars) *maxValueNameChars = nameLen;
    if (maxValueBytes) *maxValueBytes = dataLen;
    if (securityDescriptorBytes) *securityDescriptorBytes = 0;
    if (lastWrite) *lastWrite = ToFileTime(written);
    return ERROR_SUCCESS;
  });
}

HANDLE CreateTransaction(void*, void*, DWORD, DWORD, DWORD, DWORD, LPWSTR) {
  SetLastError(ERROR_SUCCESS);
  return AddHandle(std::make_shared<TransactionObject>());
}

static BOOL FinishTransaction(HANDLE transaction, bool commit) {
  auto txn = FindHandleOf<TransactionObject>(transaction);
  if (!txn) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!txn->Finish(commit)) {
    SetLastError(ERROR_TRANSACTION_NOT_ACTIVE);
    return FALSE;
  }
  return TRUE;
}

BOOL CommitTransaction(HANDLE transaction) { return FinishTransaction(transaction, true); }
BOOL RollbackTransaction(HANDLE transaction) { return FinishTransaction(transaction, false); }

LSTATUS RegCreateKeyTransactedW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM access, void*, PHKEY result,
                                LPDWORD disposition, HANDLE transaction, void*) {
  return WithTransaction(key, transaction, true,
                         [&](HKEY bound) { return CreateKey(bound, subKey, access, result, disposition); });
}

LSTATUS RegOpenKeyTransactedW(HKEY key, LPCWSTR subKey, DWORD, REGSAM access, PHKEY result, HANDLE transaction,
                              void*) {
  return WithTransaction(key, transaction, false, [&](HKEY bound) { return OpenKey(bound, subKey, access, result); });
}

LSTATUS RegDeleteKeyTransactedW(HKEY key, LPCWSTR subKey, REGSAM, DWORD, HANDLE transaction, void*) {
  return WithTransaction(key, transaction, false, [&](HKEY bound) { return RegDeleteKeyW(bound, subKey); });
}
