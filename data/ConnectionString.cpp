#include "data/ConnectionString.h"

#include "util/Exception.h"

#include <QStringList>

namespace {

const QString ProviderKey = QStringLiteral("Provider");
const QString DataSourceKey = QStringLiteral("Data Source");
const QString SupportedProvider = QStringLiteral("SQLite");

// Splits at ';' outside quotes; returns false on an unterminated quote. A
// quote opens only at the start of a value; inside, a doubled quote is kept
// doubled for Unquote to read as one.
bool SplitPairs(const QString& text, QStringList& pairs)
{
    QString current;
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote && i + 1 < text.size() && text.at(i + 1) == quote)
                current += text.at(++i);
            else if (c == quote)
                quote = QChar();
            current += c;
        } else if (c == u';') {
            pairs.append(current);
            current.clear();
        } else {
            if ((c == u'"' || c == u'\'') && current.section(u'=', 1).trimmed().isEmpty()
                && current.contains(u'='))
                quote = c;
            current += c;
        }
    }
    pairs.append(current);
    return quote.isNull();
}

QString Unquote(QString value)
{
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
        && value.back() == value.front()) {
        const QChar quote = value.front();
        return value.mid(1, value.size() - 2).replace(QString(2, quote), QString(quote));
    }
    return value;
}

}

ConnectionString ConnectionString::Parse(const QString& text)
{
    ConnectionString result;
    if (text.trimmed().isEmpty())
        throw Exception(QStringLiteral("Empty connection string"));
    QStringList pairs;
    if (!SplitPairs(text, pairs))
        throw Exception(QStringLiteral("Unterminated quote in the connection string"));
    QString provider;
    QString unknownKey;
    bool hasDataSource = false;
    for (const QString& pair : pairs) {
        if (pair.trimmed().isEmpty())
            continue;
        const qsizetype eq = pair.indexOf(u'=');
        if (eq < 0)
            throw Exception(QStringLiteral("Connection string item not understood: '%1'").arg(pair.trimmed()));
        const QString key = pair.left(eq).trimmed();
        const QString value = Unquote(pair.mid(eq + 1));
        if (key.compare(ProviderKey, Qt::CaseInsensitive) == 0) {
            provider = value;
        } else if (key.compare(DataSourceKey, Qt::CaseInsensitive) == 0) {
            result.dataSource = value;
            hasDataSource = true;
        } else if (unknownKey.isNull()) {
            unknownKey = key;
        }
    }
    // The provider first: a string meant for another engine is best reported as such.
    if (provider.isEmpty())
        throw Exception(QStringLiteral("Connection string names no provider"));
    if (provider.compare(SupportedProvider, Qt::CaseInsensitive) != 0)
        throw Exception(QStringLiteral("Provider not supported: '%1' (expected '%2')").arg(provider, SupportedProvider));
    if (!unknownKey.isNull())
        throw Exception(QStringLiteral("Connection string key not supported: '%1'").arg(unknownKey));
    if (!hasDataSource || result.dataSource.isEmpty())
        throw Exception(QStringLiteral("Connection string names no data source"));
    return result;
}
