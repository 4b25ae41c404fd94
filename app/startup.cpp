#include "app/startup.h"

#include "platform/randomsource.h"

#include <cmath>

namespace {
constexpr qsizetype kTitleLimit = 40;
constexpr int kHomePageNumber = 7;
} // namespace

QString applicationTitleFor(const QString &productName)
{
    QString title = productName;
    do {
        const qsizetype space = title.lastIndexOf(QLatin1Char(' '));
        if (space < 0)
            return title;
        title.truncate(space);
    } while (title.size() > kTitleLimit);
    return title;
}

bool homePageDrawn(platform::RandomSource &random, const platform::Clock &clock)
{
    random.seed(static_cast<quint32>(clock.secondsSinceMidnight()));
    const int number = static_cast<int>(std::floor(random.nextFraction() * 100)) + 1;
    return number == kHomePageNumber;
}
