// The main window's title.

#include "app/window_title.h"

#include "app/app_state.h"
#include "app/languages.h"

Text composeWindowTitle(const std::tm& date) {
    static const char* const monthKeys[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                              "jul", "aug", "sep", "oct", "nov", "dec"};
    Text months[13];
    for (int month = 1; month <= 12; ++month) months[month] = text(monthKeys[month - 1]);
    int month = date.tm_mon + 1;
    Text monthName = month >= 1 && month <= 12 ? months[month] : Text();
    Text year = numberToText(date.tm_year + 1900);
    if (year.size() < 4) year.insert(0, 4 - year.size(), u'0');  // always four digits
    Text datePart = numberToText(date.tm_mday) + u"  " + monthName + u"  " + year;
    return text("name") + u"   V 1.4   " + datePart;
}

Text composeWindowTitle() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return composeWindowTitle(local);
}
