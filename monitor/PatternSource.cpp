// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/PatternSource.h"

#include "platform/PlainText.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <QElapsedTimer>

#include <algorithm>

namespace {
// Backtracking steps one start position may take. PCRE2's own default is ten times this;
// a pattern that needs more is one to simplify, and a smaller bound keeps the time
// between two looks at the clock short.
constexpr uint32_t MatchLimit = 1'000'000;
// Start positions one search may try before the clock is read again: fewer once a search is
// slow, more while searches are quick (a search may look ahead past its window for a
// character the pattern needs, so a window too small would read the page again and again).
constexpr PCRE2_SIZE FirstWindow = 16;
constexpr qint64 SlowSearchMilliseconds = 50;
constexpr qint64 QuickSearchMilliseconds = 5;

QString pcreMessage(int code)
{
    PCRE2_UCHAR buffer[256];
    const int length = pcre2_get_error_message(code, buffer, sizeof buffer / sizeof buffer[0]);
    return length < 0 ? QStringLiteral("error %1").arg(code)
                      : QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer), length);
}

// PCRE2 reads the page as UTF-16; a lone surrogate becomes U+FFFD so that the page is checked
// once here rather than by every search.
QString validUtf16(const QString& page)
{
    QString out = page;
    const qsizetype n = out.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = out.at(i);
        if (c.isHighSurrogate() && i + 1 < n && out.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}
} // namespace

struct PatternSource::Compiled {
    pcre2_code* code = nullptr;
    QString error;
    int symbol = -1;
    int status = -1;

    explicit Compiled(const QString& pattern)
    {
        int errorCode = 0;
        PCRE2_SIZE offset = 0;
        code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.utf16()), PCRE2_SIZE(pattern.size()),
                             PCRE2_UTF | PCRE2_USE_OFFSET_LIMIT, &errorCode, &offset, nullptr);
        if (!code) {
            error = QStringLiteral("The pattern does not compile: %1 (at character %2).")
                        .arg(pcreMessage(errorCode))
                        .arg(offset);
            return;
        }
        pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
        symbol = pcre2_substring_number_from_name(code, reinterpret_cast<PCRE2_SPTR>(u"symbol"));
        status = pcre2_substring_number_from_name(code, reinterpret_cast<PCRE2_SPTR>(u"status"));
        if (pattern.isEmpty())
            error = QStringLiteral("A pattern source needs a pattern.");
        else if (symbol < 0)
            error = QStringLiteral("The pattern needs a group named symbol, as in (?<symbol>[A-Z]{1,5}).");
    }
    ~Compiled() { pcre2_code_free(code); }
    Q_DISABLE_COPY_MOVE(Compiled)
};

PatternSource::PatternSource(const QString& pattern, std::chrono::milliseconds budget)
    : m_compiled(std::make_unique<Compiled>(pattern))
    , m_budget(budget)
{
}

PatternSource::~PatternSource() = default;

QString PatternSource::problemOf(const QString& pattern)
{
    return Compiled(pattern).error;
}

Extraction PatternSource::extract(const QString& page) const
{
    Extraction result;
    const Compiled& c = *m_compiled;
    if (!c.error.isEmpty()) {
        result.error = c.error.left(1).toLower() + c.error.mid(1);
        result.error.chop(1);
        return result;
    }
    const QString subject = validUtf16(page);
    const auto* text = reinterpret_cast<PCRE2_SPTR>(subject.utf16());
    const auto length = PCRE2_SIZE(subject.size());

    // Each search may start at no more than a window of positions, so that the clock is read
    // between searches however long the page; the match context carries the window.
    const std::unique_ptr<pcre2_match_context, decltype(&pcre2_match_context_free)> context(
        pcre2_match_context_create(nullptr), &pcre2_match_context_free);
    const std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> match(
        pcre2_match_data_create_from_pattern(c.code, nullptr), &pcre2_match_data_free);
    pcre2_set_match_limit(context.get(), MatchLimit);

    QStringList entries;
    QStringList rows;
    bool more = false;
    QElapsedTimer clock;
    clock.start();
    PCRE2_SIZE window = FirstWindow;
    PCRE2_SIZE offset = 0;
    while (offset <= length) {
        if (clock.elapsed() > m_budget.count()) {
            result.error = QStringLiteral("the pattern took too long on this page; simplify it");
            return result;
        }
        const PCRE2_SIZE lastStart = std::min(length, offset + (window - 1));
        pcre2_set_offset_limit(context.get(), lastStart);
        const qint64 before = clock.elapsed();
        const PCRE2_SIZE from = offset;
        const int rc = pcre2_match(c.code, text, length, offset, PCRE2_NO_UTF_CHECK, match.get(), context.get());
        const qint64 took = clock.elapsed() - before;
        if (took > SlowSearchMilliseconds)
            window = std::max<PCRE2_SIZE>(1, window / 16);
        else if (took < QuickSearchMilliseconds && window <= length)
            window *= 2;
        if (rc == PCRE2_ERROR_NOMATCH) {
            offset = lastStart + 1;
            continue;
        }
        if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_HEAPLIMIT) {
            result.error = QStringLiteral("the pattern backtracks too much on this page (%1); simplify it")
                               .arg(pcreMessage(rc));
            return result;
        }
        if (rc < 0) {
            result.error = QStringLiteral("the pattern failed on this page: %1").arg(pcreMessage(rc));
            return result;
        }
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(match.get());
        const auto group = [&](int number) {
            if (number < 0 || number >= rc || ov[2 * number] == PCRE2_UNSET)
                return QString();
            return subject.mid(qsizetype(ov[2 * number]), qsizetype(ov[2 * number + 1] - ov[2 * number]));
        };
        const QString symbol = group(c.symbol).trimmed();
        if (!symbol.isEmpty()) {
            if (entries.size() == Extraction::MaxEntries) {
                more = true;
                break;
            }
            QString entry = symbol;
            const QString status = group(c.status).simplified();
            if (c.status >= 0) {
                if (status.contains(QStringLiteral("closed"), Qt::CaseInsensitive))
                    entry += QStringLiteral(" (closed)");
                else
                    entry += QStringLiteral(" (") + (status.isEmpty() ? QStringLiteral("go-now") : status) +
                             QLatin1Char(')');
            }
            entries << entry;
            rows << (c.status >= 0 ? QStringLiteral("symbol \"%1\" status \"%2\"").arg(symbol, status)
                                   : QStringLiteral("symbol \"%1\"").arg(symbol));
        }
        // An empty match moves on by one character (both halves of a surrogate pair).
        offset = ov[1];
        if (ov[1] <= ov[0]) {
            offset = ov[0] + 1;
            if (offset < length && QChar::isLowSurrogate(subject.at(qsizetype(offset)).unicode()))
                ++offset;
        }
        offset = std::max(offset, from + 1);
    }
    for (QString& row : rows)
        row = PlainText::foldedAndCut(row, 2 * Extraction::MaxEntryLength);
    result.finish(entries, entries, more);
    result.rows = rows;
    return result;
}
