// Date values over Qt's calendar arithmetic, always in UTC so that no time-zone or
// daylight-saving rule ever shifts a value.
#include "common/dates.h"

#include <QDateTime>
#include <QTimeZone>
#include <limits>

namespace common {

namespace {

QDateTime toDateTime(qint32 date) { return QDateTime::fromSecsSinceEpoch(date, Qt::UTC); }

qint32 fromDateTime(const QDateTime& dt) {
  if (!dt.isValid()) return 0;
  const qint64 seconds = dt.toSecsSinceEpoch();
  if (seconds < std::numeric_limits<qint32>::min() || seconds > std::numeric_limits<qint32>::max()) return 0;
  return static_cast<qint32>(seconds);
}

// The mask's tokens, longest first so that "%yyyy" is not read as "%yy" and "yy".
enum class Token { None, Year4, Year2, Month, Day, Hour, Minute, Second };

Token tokenAt(const QString& mask, qsizetype i, qsizetype& length) {
  static const struct {
    QStringView text;
    Token token;
  } tokens[] = {{u"%yyyy", Token::Year4}, {u"%yy", Token::Year2}, {u"%mm", Token::Month}, {u"%dd", Token::Day},
                {u"%hh", Token::Hour},    {u"%ii", Token::Minute}, {u"%ss", Token::Second}};
  for (const auto& t : tokens) {
    if (QStringView(mask).mid(i, t.text.size()).compare(t.text, Qt::CaseInsensitive) == 0) {
      length = t.text.size();
      return t.token;
    }
  }
  length = 1;
  return Token::None;
}

}  // namespace

qint32 now() {
  const QDateTime local = QDateTime::currentDateTime();
  return fromDateTime(QDateTime(local.date(), local.time(), Qt::UTC));
}

bool isEmptyDate(qint32 date) { return date < 1; }

qint32 makeDate(int year, int month, int day, int hour, int minute, int second) {
  const QDate d(year, month, day);
  const QTime t(hour, minute, second);
  if (!d.isValid() || !t.isValid()) return 0;
  return fromDateTime(QDateTime(d, t, Qt::UTC));
}

qint32 makeDateWithin(int year, int month, int day, int hour, int minute, int second) {
  const QDate d(year, month, day);
  const QTime t(hour, minute, second);
  if (!d.isValid() || !t.isValid()) return 0;
  return dateWithin(QDateTime(d, t, Qt::UTC).toSecsSinceEpoch());
}

qint32 dateWithin(qint64 stored) {
  return static_cast<qint32>(qBound(qint64(std::numeric_limits<qint32>::min()), stored, qint64(lastDateValue)));
}

qint32 startOfDay(qint32 date) {
  const QDate d = toDateTime(date).date();
  return makeDate(d.year(), d.month(), d.day());
}

qint32 endOfDay(qint32 date) {
  // The last day a date value holds, 2038-01-19, ends past the 32-bit range: its end is the
  // last second a date value can hold, not "no date".
  const QDate d = toDateTime(date).date();
  const qint64 end = QDateTime(d, QTime(23, 59, 59), Qt::UTC).toSecsSinceEpoch();
  return static_cast<qint32>(qMin<qint64>(end, std::numeric_limits<qint32>::max()));
}

QString formatDate(const QString& mask, qint32 date) {
  const QDateTime dt = toDateTime(date);
  const QDate d = dt.date();
  const QTime t = dt.time();
  auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QChar(u'0')); };
  QString out;
  for (qsizetype i = 0; i < mask.size();) {
    qsizetype length = 1;
    switch (tokenAt(mask, i, length)) {
      case Token::Year4: out += QStringLiteral("%1").arg(d.year(), 4, 10, QChar(u'0')); break;
      case Token::Year2: out += two(d.year() % 100); break;
      case Token::Month: out += two(d.month()); break;
      case Token::Day: out += two(d.day()); break;
      case Token::Hour: out += two(t.hour()); break;
      case Token::Minute: out += two(t.minute()); break;
      case Token::Second: out += two(t.second()); break;
      case Token::None: out += mask[i]; break;
    }
    i += length;
  }
  return out;
}

qint32 parseDate(const QString& mask, const QString& text) {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  qsizetype at = 0;
  auto digits = [&](int count, int& value) {
    if (at + count > text.size()) return false;
    int v = 0;
    for (int k = 0; k < count; ++k) {
      const QChar c = text[at + k];
      if (c < u'0' || c > u'9') return false;
      v = v * 10 + (c.unicode() - '0');
    }
    value = v;
    at += count;
    return true;
  };
  for (qsizetype i = 0; i < mask.size();) {
    qsizetype length = 1;
    bool ok = true;
    switch (tokenAt(mask, i, length)) {
      case Token::Year4: ok = digits(4, year); break;
      case Token::Year2:
        ok = digits(2, year);
        year += year < 70 ? 2000 : 1900;
        break;
      case Token::Month: ok = digits(2, month); break;
      case Token::Day: ok = digits(2, day); break;
      case Token::Hour: ok = digits(2, hour); break;
      case Token::Minute: ok = digits(2, minute); break;
      case Token::Second: ok = digits(2, second); break;
      case Token::None: ok = at < text.size() && text[at++] == mask[i]; break;
    }
    if (!ok) return 0;
    i += length;
  }
  if (at != text.size()) return 0;
  return makeDate(year, month, day, hour, minute, second);
}

QString formatDay(qint32 date) {
  return isEmptyDate(date) ? QStringLiteral("leer") : formatDate(QStringLiteral("%yyyy-%mm-%dd"), date);
}

}  // namespace common
