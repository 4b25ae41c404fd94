#pragma once

#include <QString>
#include <QUrl>

namespace platform { class Clock; class RandomSource; }

inline const QString kProductName = QStringLiteral("Brassfinch");
inline const QUrl kHomePage = QUrl(QStringLiteral("https://tarnhollow.org/brassfinch"));

/// The application title for a product name: cut at the last space until at most 40 characters
/// remain (at least one cut is always made). A name without a space stays whole.
QString applicationTitleFor(const QString &productName);

/// Seeds the random source from the seconds since midnight and draws a number from 1 to 100;
/// true for the one draw in a hundred (7) that opens the home page.
bool homePageDrawn(platform::RandomSource &random, const platform::Clock &clock);
