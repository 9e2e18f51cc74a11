// CIdGenerator: GUID from QUuid, hashed with MD5.
#include "app/IdGenerator.h"

#include <QCryptographicHash>
#include <QUuid>

std::string CIdGenerator::FromGuidBytes(const std::uint8_t (&guid)[16]) {
    const QByteArray digest = QCryptographicHash::hash(
        QByteArray(reinterpret_cast<const char*>(guid), 16), QCryptographicHash::Md5);
    return digest.toHex().toStdString();
}

CIdGenerator::CIdGenerator() {
    const QUuid uuid = QUuid::createUuid();
    std::uint8_t guid[16];
    // The platform's GUID in memory: Data1 as 32-bit LE, Data2 and Data3 as
    // 16-bit LE, then Data4's 8 bytes.
    for (int i = 0; i < 4; ++i)
        guid[i] = static_cast<std::uint8_t>(uuid.data1 >> (8 * i));
    for (int i = 0; i < 2; ++i) {
        guid[4 + i] = static_cast<std::uint8_t>(uuid.data2 >> (8 * i));
        guid[6 + i] = static_cast<std::uint8_t>(uuid.data3 >> (8 * i));
    }
    for (int i = 0; i < 8; ++i)
        guid[8 + i] = uuid.data4[i];
    m_text = FromGuidBytes(guid);
}
