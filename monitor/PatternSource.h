#pragma once

#include "monitor/OfferingsSource.h"

#include <QRegularExpression>

// Any page, read through a regular expression with a group named "symbol" and an
// optional group "status". Every match is one entry: the symbol, of any length, with
// " (closed)" when its status contains "closed" in any case and " (go-now)" otherwise;
// without a status group, the symbol alone. Entries then take the broker's comparison.
class PatternSource final : public OfferingsSource {
public:
    explicit PatternSource(const QString& pattern);

    Extraction extract(QStringView page) const override;
    Comparison comparison() const override { return Comparison::WholeList; }

private:
    QRegularExpression m_expression;
    bool m_hasStatus = false;
};
