#pragma once

#include "monitor/WatchSettings.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>

// What one page gave: the ticker list as it is shown and logged, its entries, and the
// key each entry is compared by. A page that cannot be read at all gives an error.
struct Extraction {
    QString error;
    // One blank, then every entry followed by two blanks; " " when there is none.
    QString tickerList = QStringLiteral(" ");
    // The last entry built, in page order (" " when there was none).
    QString lastEntry = QStringLiteral(" ");
    // In ticker-list order; keys[i] belongs to entries[i].
    QStringList entries;
    QStringList keys;

    // Builds the list and the last entry from entries in page order, sorted without regard to case.
    void finish(QStringList pageOrderEntries, QStringList pageOrderKeys);
};

// One kind of watched page: how its text becomes entries, and how they are compared.
class OfferingsSource {
public:
    enum class Comparison {
        // The whole list against the last eight lists, with the exclude-closed rules.
        WholeList,
        // Each entry's key against the keys of the last eight lists; exclude-closed does not apply.
        ByKey,
    };

    virtual ~OfferingsSource() = default;
    virtual Extraction extract(QStringView page) const = 0;
    virtual Comparison comparison() const = 0;
    // What an entry is called in messages ("offering", "filing").
    virtual QString entryName() const { return QStringLiteral("offering"); }

    static std::unique_ptr<OfferingsSource> create(const WatchSettings& watch);
};
