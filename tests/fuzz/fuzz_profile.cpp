// Fuzz entry point for the profile reader and the code page 932 decoder. Built
// with libFuzzer (VACUOLA_FUZZ, run by run_fuzz.sh), and with the normal compiler as a replay of
// the seed corpus (replay_main.cpp).

#include "platform/Cp932.h"
#include "platform/ProfileFile.h"

#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void fuzzDecoder(QByteArrayView bytes)
{
    const QString text = Vacuola::Cp932::decode(bytes);
    const QByteArray encoded = Vacuola::Cp932::encode(text);
    // Text the codec says it can store comes back unchanged.
    if (Vacuola::Cp932::canStore(text))
        require(Vacuola::Cp932::decode(encoded) == text);
}

void fuzzProfile(QByteArrayView bytes)
{
    using Vacuola::ProfileFile;
    ProfileFile file;
    file.parse(bytes);

    const QString sections[] = {QStringLiteral("Vacuola"), QStringLiteral("検索フォルダ"),
                                QStringLiteral("管理ファイル")};
    const QString keys[] = {QStringLiteral("Version"), QStringLiteral("検索フォルダ数"),
                            QStringLiteral("検索フォルダ1"), QStringLiteral("管理ファイル数"),
                            QStringLiteral("LOG保存設定")};
    for (const QString &section : sections) {
        for (const QString &key : keys) {
            const QString value = file.readString(section, key, QString());
            require(value.size() <= ProfileFile::MaxValueLength);
            file.readInteger(section, key, 0);
            file.readBool(section, key, false);
        }
    }

    // A written value reads back as written, whatever else the file holds.
    const QString value = QStringLiteral(" 検索 \"x\" ");
    file.writeString(QStringLiteral("検索フォルダ"), QStringLiteral("検索フォルダ1"), value);
    file.writeInteger(QStringLiteral("Vacuola"), QStringLiteral("LOG保存設定"), -123);
    ProfileFile again;
    again.parse(file.toBytes());
    require(again.readString(QStringLiteral("検索フォルダ"), QStringLiteral("検索フォルダ1"), QString()) ==
            value);
    require(again.readInteger(QStringLiteral("Vacuola"), QStringLiteral("LOG保存設定"), 0) == -123);

    // Every 32-bit number reads back from its decimal form.
    if (bytes.size() >= 4) {
        std::int32_t number = 0;
        std::memcpy(&number, bytes.data(), sizeof number);
        require(ProfileFile::parseInteger(QString::number(number), 0) == number);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    fuzzDecoder(bytes);
    fuzzProfile(bytes);
    return 0;
}
