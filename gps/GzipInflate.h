#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The content of a gzip file, all its members one after the other.
namespace GzipInflate {

struct Result
{
    QByteArray bytes;
    QString fault; // as the rider reads it ("file danneggiato: ..."); empty when inflated
};

// True when `bytes` open with a gzip member's signature.
bool IsGzip(QByteArrayView bytes);

// Inflates `compressed`; more than `limit` bytes of content is a fault, so a
// small file cannot fill the memory. Bytes after the last member that start
// no other member are ignored, as gzip itself does.
Result Inflate(QByteArrayView compressed, qint64 limit);

} // namespace GzipInflate
