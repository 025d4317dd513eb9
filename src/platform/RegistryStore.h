#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The per-user settings store, shaped like the current-user branch of a registry: keys with
// typed values (string, 32-bit integer, binary). On Linux it is one text file in the registry
// export syntax, written atomically and under a lock so two running copies never corrupt it.
// Key paths use "\" as separator ("\software\Kellerbrand\Torvane\Serial"); key and value
// names compare without regard to letter case.
class RegistryStore
{
public:
    enum class ValueType { None, String, DWord, Binary };

    explicit RegistryStore(const QString &filePath);

    // The store of this user: registry.reg in ConfigPaths::programConfigDir(), beside the
    // port links. Re-evaluated on every call (tests move it).
    static RegistryStore user();
    static QString userFilePath();

    QString filePath() const { return m_filePath; }

    bool keyExists(const QString &key) const;
    bool createKey(const QString &key);
    bool deleteKey(const QString &key);           // with its values and subkeys
    QStringList valueNames(const QString &key) const;
    QStringList subKeys(const QString &key) const; // direct subkeys

    bool valueExists(const QString &key, const QString &name) const;
    ValueType valueType(const QString &key, const QString &name) const;
    bool deleteValue(const QString &key, const QString &name);

    std::optional<QString> readString(const QString &key, const QString &name) const;
    std::optional<quint32> readDWord(const QString &key, const QString &name) const;
    std::optional<QByteArray> readBinary(const QString &key, const QString &name) const;
    bool writeString(const QString &key, const QString &name, const QString &value);   // creates the key
    bool writeDWord(const QString &key, const QString &name, quint32 value);
    bool writeBinary(const QString &key, const QString &name, const QByteArray &value);

    // Several changes under one lock and one replacement of the file: a write costs a lock
    // and a flush to disk (~20 ms), so whoever stores many values at once (the settings
    // dialog) collects them here. Applied in the order given; deleting what is not there is
    // no error in a batch.
    class Batch
    {
    public:
        void createKey(const QString &key) { add(Op::CreateKey, key); }
        void deleteKey(const QString &key) { add(Op::DeleteKey, key); }
        void deleteValue(const QString &key, const QString &name) { add(Op::DeleteValue, key, name); }
        void writeString(const QString &key, const QString &name, const QString &value)
        {
            add(Op::Write, key, name, ValueType::String).text = value;
        }
        void writeDWord(const QString &key, const QString &name, quint32 value)
        {
            add(Op::Write, key, name, ValueType::DWord).dword = value;
        }
        void writeBinary(const QString &key, const QString &name, const QByteArray &value)
        {
            add(Op::Write, key, name, ValueType::Binary).bytes = value;
        }
        bool isEmpty() const { return m_ops.isEmpty(); }

    private:
        friend class RegistryStore;
        struct Op {
            enum Kind { CreateKey, DeleteKey, DeleteValue, Write } kind = Write;
            QString key;
            QString name;
            ValueType type = ValueType::None;
            QString text;
            quint32 dword = 0;
            QByteArray bytes;
        };
        Op &add(Op::Kind kind, const QString &key, const QString &name = QString(),
                ValueType type = ValueType::None)
        {
            Op &op = m_ops.emplace_back();
            op.kind = kind;
            op.key = key;
            op.name = name;
            op.type = type;
            return op;
        }
        QList<Op> m_ops;
    };
    // All or nothing: when one change is not acceptable (see lastError), none is written.
    bool apply(const Batch &batch);

    // Why the last write failed, or why the file was read as empty (damaged content).
    QString lastError() const { return m_lastError; }

private:
    QString m_filePath;
    mutable QString m_lastError;
};
