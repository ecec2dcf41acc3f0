// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/OfferingsSource.h"

#include <chrono>
#include <memory>

// Any page, read through a regular expression (PCRE2 syntax) with a group named "symbol" and an
// optional group "status". Every match is one entry: the symbol, of any length, followed by
// its status: " (closed)" when the status holds "closed" in any case, " (go-now)" when it is
// empty, otherwise the status as captured (" (priced)"); without a status group, the symbol
// alone. Entries then take the broker's comparison, so a status that changes is news.
//
// A pattern gets a bounded time on a page: one that backtracks without end is a failed poll
// naming the problem, never a frozen program or a silently short list.
class PatternSource final : public OfferingsSource {
public:
    static constexpr std::chrono::milliseconds DefaultBudget{5000};

    explicit PatternSource(const QString& pattern, std::chrono::milliseconds budget = DefaultBudget);
    ~PatternSource() override;

    Extraction extract(const QString& page) const override;
    Comparison comparison() const override { return Comparison::WholeList; }
    bool mayTakeLong() const override { return true; }

    // Why the pattern cannot read pages (it does not compile, or has no symbol group), or an empty text.
    static QString problemOf(const QString& pattern);

private:
    struct Compiled;
    std::unique_ptr<Compiled> m_compiled;
    std::chrono::milliseconds m_budget;
};
