#pragma once

#include <QString>
#include <QStringView>

#include <map>

namespace zimo::bench {

// A Japanese document of about `megabytes` MiB in code page 932: lines of 25 characters taken
// from a pool of prose, each ended by CR LF. Made once per size and kept.
inline const QString &japaneseLines(int megabytes)
{
    static std::map<int, QString> made;
    QString &text = made[megabytes];
    if (!text.isEmpty())
        return text;
    const QString pool = QStringLiteral(
        "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめ"
        "した所でニャーニャー泣いていた事だけは記憶している。ホームページの文字コードを確かめる");
    const qsizetype lines = qsizetype(megabytes) * 1024 * 1024 / 52;
    text.reserve(lines * 27);
    for (qsizetype i = 0; i < lines; ++i) {
        const qsizetype from = (i * 7) % (pool.size() - 25);
        text += QStringView(pool).mid(from, 25);
        text += u"\r\n";
    }
    return text;
}

} // namespace zimo::bench
