// makeicons.cpp - draws the icon set of VarnothM.
//
// Standalone Qt 6 program: writes thirteen 64x64 PNG images (ARGB with
// alpha) into the folder given as first argument.
//
//   g++ -std=c++20 -fPIC makeicons.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/makeicons
//   QT_QPA_PLATFORM=offscreen /tmp/makeicons resources/icons
//
// Style: flat shapes with a dark outline, a small palette (dark slate, water
// blue, white, light grey, a few accents) and a thin white halo around every
// shape so the icons stay readable on green, yellow and red list rows.

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRectF>
#include <QTextStream>

#include <cmath>
#include <functional>

namespace {

constexpr int kSize = 64;
constexpr double kLine = 3.5;   // outline width
constexpr int kHalo = 2;        // halo radius in pixels

const QColor kInk(0x26, 0x32, 0x38);     // outline, dark slate
const QColor kWater(0x1e, 0x88, 0xe5);   // water blue
const QColor kWaterLight(0x90, 0xca, 0xf9);
const QColor kPaper(0xff, 0xff, 0xff);
const QColor kGrey(0xb0, 0xbe, 0xc5);
const QColor kGreyDark(0x78, 0x90, 0x9c);
const QColor kRoof(0xd8, 0x43, 0x15);    // brick red
const QColor kGreen(0x2e, 0x7d, 0x32);
const QColor kAmber(0xff, 0xb3, 0x00);

QPen inkPen(double width = kLine)
{
    QPen p(kInk, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    return p;
}

void prepare(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

// A water drop with its tip at the top, centre (cx, cy) of the round part.
QPainterPath dropPath(double cx, double cy, double r, double height)
{
    QPainterPath path;
    path.moveTo(cx, cy - height);
    path.cubicTo(cx + r * 0.35, cy - height * 0.55, cx + r, cy - r * 0.6, cx + r, cy);
    path.arcTo(QRectF(cx - r, cy - r, 2 * r, 2 * r), 0, -180);
    path.cubicTo(cx - r, cy - r * 0.6, cx - r * 0.35, cy - height * 0.55, cx, cy - height);
    path.closeSubpath();
    return path;
}

void drawDrop(QPainter &p, double cx, double cy, double r, double height, double line = 3.0)
{
    p.setPen(inkPen(line));
    p.setBrush(kWater);
    p.drawPath(dropPath(cx, cy, r, height));
    // highlight
    p.setPen(QPen(kWaterLight, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(cx - r * 0.6, cy - r * 0.6, r * 1.2, r * 1.2), 190 * 16, 60 * 16);
}

// A thick arrow pointing along +y (down) centred at x = cx, from y0 to y1.
QPolygonF arrowDown(double cx, double y0, double y1, double shaft, double head, double headLen)
{
    QPolygonF poly;
    poly << QPointF(cx - shaft / 2, y0) << QPointF(cx + shaft / 2, y0)
         << QPointF(cx + shaft / 2, y1 - headLen) << QPointF(cx + head / 2, y1 - headLen)
         << QPointF(cx, y1) << QPointF(cx - head / 2, y1 - headLen)
         << QPointF(cx - shaft / 2, y1 - headLen);
    return poly;
}

// ---------------------------------------------------------------- icons

void drawObject(QPainter &p)
{
    // A multi-storey building with windows and a door.
    p.setPen(inkPen());
    p.setBrush(kGrey);
    p.drawRect(QRectF(12, 8, 30, 50));
    p.setBrush(kGreyDark);
    p.drawRect(QRectF(42, 24, 12, 34));
    // windows
    p.setPen(inkPen(2.0));
    p.setBrush(kWaterLight);
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 2; ++col)
            p.drawRect(QRectF(17 + col * 12, 13 + row * 9, 8, 6));
    p.drawRect(QRectF(45, 29, 6, 6));
    p.drawRect(QRectF(45, 39, 6, 6));
    // door
    p.setBrush(kRoof);
    p.setPen(inkPen(2.5));
    p.drawRect(QRectF(22, 48, 10, 10));
    // ground line
    p.setPen(inkPen());
    p.drawLine(QPointF(6, 58), QPointF(58, 58));
}

void drawHome(QPainter &p)
{
    // A house with roof, chimney and door.
    p.setPen(inkPen());
    p.setBrush(kPaper);
    p.drawRect(QRectF(14, 30, 36, 26));
    // chimney
    p.setBrush(kGreyDark);
    p.drawRect(QRectF(40, 10, 7, 14));
    // roof
    QPolygonF roof;
    roof << QPointF(6, 33) << QPointF(32, 8) << QPointF(58, 33);
    p.setBrush(kRoof);
    p.drawPolygon(roof);
    // door
    p.setBrush(kWater);
    p.drawRect(QRectF(27, 40, 11, 16));
    // window
    p.setPen(inkPen(2.0));
    p.setBrush(kWaterLight);
    p.drawRect(QRectF(17, 37, 7, 7));
}

void drawTray(QPainter &p)
{
    // open tray (device) at the bottom
    QPainterPath tray;
    tray.moveTo(8, 38);
    tray.lineTo(8, 56);
    tray.lineTo(56, 56);
    tray.lineTo(56, 38);
    tray.lineTo(46, 38);
    tray.lineTo(42, 46);
    tray.lineTo(22, 46);
    tray.lineTo(18, 38);
    tray.closeSubpath();
    p.setPen(inkPen());
    p.setBrush(kGrey);
    p.drawPath(tray);
}

void drawDown(QPainter &p)
{
    drawTray(p);
    p.setPen(inkPen());
    p.setBrush(kGreen);
    p.drawPolygon(arrowDown(32, 4, 44, 12, 30, 16));
}

void drawUp(QPainter &p)
{
    drawTray(p);
    p.setPen(inkPen());
    p.setBrush(kWater);
    // arrow pointing up: mirror a down arrow
    QPolygonF a = arrowDown(32, 0, 40, 12, 30, 16);
    for (QPointF &pt : a)
        pt.setY(44 - pt.y());
    p.drawPolygon(a);
}

void drawConfig(QPainter &p)
{
    // A gear with a pencil across it.
    const double cx = 27, cy = 27, rOut = 22, rIn = 16.5;
    const int teeth = 8;
    QPainterPath gear;
    for (int i = 0; i < teeth * 4; ++i) {
        const double a = (i / double(teeth * 4)) * 2 * M_PI - M_PI / (teeth * 4);
        const double r = (i % 4 == 0 || i % 4 == 1) ? rOut : rIn;
        const QPointF pt(cx + r * std::cos(a), cy + r * std::sin(a));
        if (i == 0)
            gear.moveTo(pt);
        else
            gear.lineTo(pt);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(QPointF(cx, cy), 6.5, 6.5);
    gear = gear.subtracted(hole);
    p.setPen(inkPen());
    p.setBrush(kGreyDark);
    p.drawPath(gear);

    // pencil from lower right towards the centre
    p.save();
    p.translate(44, 44);
    p.rotate(45);
    const double w = 11;
    QRectF body(-w / 2, -22, w, 28);
    p.setPen(inkPen(3.0));
    p.setBrush(kAmber);
    p.drawRect(body);
    // eraser end
    p.setBrush(kRoof);
    p.drawRect(QRectF(-w / 2, 6, w, 6));
    // tip
    QPolygonF tip;
    tip << QPointF(-w / 2, -22) << QPointF(w / 2, -22) << QPointF(0, -34);
    p.setBrush(QColor(0xff, 0xe0, 0xb2));
    p.drawPolygon(tip);
    QPolygonF lead;
    lead << QPointF(-2.2, -30.4) << QPointF(2.2, -30.4) << QPointF(0, -34);
    p.setBrush(kInk);
    p.setPen(Qt::NoPen);
    p.drawPolygon(lead);
    p.restore();
}

void drawHelp(QPainter &p)
{
    p.setPen(inkPen());
    p.setBrush(kWater);
    p.drawEllipse(QPointF(32, 32), 26, 26);
    // question mark drawn as strokes
    QPen q(kPaper, 7.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(q);
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(22.5, 24);
    path.cubicTo(22.5, 12.5, 41.5, 12.5, 41.5, 23.5);
    path.cubicTo(41.5, 30, 32, 30, 32, 38);
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(32, 47.5), 4.5, 4.5);
}

void drawOnOff(QPainter &p)
{
    p.setPen(inkPen());
    p.setBrush(kRoof);
    p.drawEllipse(QPointF(32, 32), 26, 26);
    QPen w(kPaper, 6.0, Qt::SolidLine, Qt::RoundCap);
    p.setPen(w);
    p.setBrush(Qt::NoBrush);
    // open ring, gap at the top
    p.drawArc(QRectF(17, 18, 30, 30), 125 * 16, 290 * 16);
    p.drawLine(QPointF(32, 13), QPointF(32, 31));
}

void drawManahme(QPainter &p)
{
    // clipboard
    p.setPen(inkPen());
    p.setBrush(QColor(0xa1, 0x88, 0x7f));
    p.drawRoundedRect(QRectF(10, 8, 44, 52), 4, 4);
    p.setBrush(kPaper);
    p.drawRect(QRectF(15, 15, 34, 40));
    // clip
    p.setBrush(kGreyDark);
    p.drawRoundedRect(QRectF(22, 4, 20, 10), 3, 3);
    // lines on the sheet
    p.setPen(inkPen(2.0));
    p.drawLine(QPointF(20, 22), QPointF(44, 22));
    p.drawLine(QPointF(20, 28), QPointF(38, 28));
    // check mark
    QPen check(kGreen, 6.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(check);
    QPolygonF c;
    c << QPointF(21, 41) << QPointF(28, 48) << QPointF(43, 33);
    p.drawPolyline(c);
}

void drawLeft(QPainter &p)
{
    QPolygonF a;
    a << QPointF(6, 32) << QPointF(30, 8) << QPointF(30, 22) << QPointF(58, 22)
      << QPointF(58, 42) << QPointF(30, 42) << QPointF(30, 56);
    p.setPen(inkPen());
    p.setBrush(kWater);
    p.drawPolygon(a);
}

void drawDate(QPainter &p)
{
    // calendar day sheet: red header, white body, big day number "1"
    p.setPen(inkPen());
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(8, 10, 48, 48), 4, 4);
    QPainterPath header;
    header.addRoundedRect(QRectF(8, 10, 48, 14), 4, 4);
    header.addRect(QRectF(8, 17, 48, 7));
    p.setBrush(kRoof);
    p.drawPath(header.simplified());
    // rings
    p.setPen(inkPen(3.0));
    p.setBrush(kGrey);
    p.drawRoundedRect(QRectF(17, 5, 6, 11), 3, 3);
    p.drawRoundedRect(QRectF(41, 5, 6, 11), 3, 3);
    // grid of days
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col)
            p.drawRect(QRectF(14 + col * 10, 30 + row * 8.5, 6, 5));
    // today marked
    p.setBrush(kWater);
    p.drawRect(QRectF(31.5, 36.5, 11, 10));
}

void drawPlus(QPainter &p)
{
    QPainterPath vertical, horizontal;
    vertical.addRect(QRectF(24, 6, 16, 52));
    horizontal.addRect(QRectF(6, 24, 52, 16));
    const QPainterPath plus = vertical.united(horizontal);
    p.setPen(inkPen());
    p.setBrush(kGreen);
    p.drawPath(plus);
}

void drawShower(QPainter &p)
{
    // pipe from the upper left, bending down into the head
    QPen pipe(kInk, 9.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    QPainterPath pp;
    pp.moveTo(6, 6);
    pp.lineTo(26, 6);
    pp.quadTo(36, 6, 36, 16);
    p.setPen(pipe);
    p.setBrush(Qt::NoBrush);
    p.drawPath(pp);
    p.setPen(QPen(kGrey, 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(pp);

    // head: a bell shape
    QPainterPath head;
    head.moveTo(30, 16);
    head.lineTo(42, 16);
    head.lineTo(54, 30);
    head.lineTo(18, 30);
    head.closeSubpath();
    p.setPen(inkPen());
    p.setBrush(kGrey);
    p.drawPath(head);

    // drops in three columns
    drawDrop(p, 22, 42, 3.6, 8, 2.5);
    drawDrop(p, 36, 40, 3.6, 8, 2.5);
    drawDrop(p, 50, 42, 3.6, 8, 2.5);
    drawDrop(p, 29, 55, 3.6, 8, 2.5);
    drawDrop(p, 43, 55, 3.6, 8, 2.5);
}

void drawTap(QPainter &p)
{
    // wall plate on the left
    p.setPen(inkPen());
    p.setBrush(kGreyDark);
    p.drawRoundedRect(QRectF(4, 14, 8, 22), 2, 2);

    // body and spout as one path
    QPainterPath body;
    body.moveTo(12, 18);
    body.lineTo(44, 18);
    body.quadTo(54, 18, 54, 28);
    body.lineTo(54, 36);
    body.lineTo(44, 36);
    body.lineTo(44, 31);
    body.quadTo(44, 30, 43, 30);
    body.lineTo(12, 30);
    body.closeSubpath();
    p.setBrush(kGrey);
    p.drawPath(body);

    // handle on top
    p.drawRect(QRectF(24, 10, 6, 8));
    p.drawRoundedRect(QRectF(15, 4, 24, 7), 3, 3);

    // drop below the spout
    drawDrop(p, 49, 52, 6, 14, 3.0);
}

// ---------------------------------------------------------------- halo

// Adds a white halo of radius kHalo around everything that is drawn, so
// the dark outline stays visible on dark or saturated backgrounds.
QImage withHalo(const QImage &src)
{
    QImage out(src.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    const int w = src.width(), h = src.height();
    QImage halo(src.size(), QImage::Format_ARGB32_Premultiplied);
    halo.fill(Qt::transparent);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double best = 0;
            for (int dy = -kHalo - 1; dy <= kHalo + 1; ++dy) {
                for (int dx = -kHalo - 1; dx <= kHalo + 1; ++dx) {
                    const int sx = x + dx, sy = y + dy;
                    if (sx < 0 || sy < 0 || sx >= w || sy >= h)
                        continue;
                    const double d = std::sqrt(double(dx * dx + dy * dy));
                    // soft edge: full inside kHalo, fading over one pixel
                    const double weight = std::clamp(kHalo + 0.5 - d, 0.0, 1.0);
                    if (weight <= 0)
                        continue;
                    const double a = qAlpha(src.pixel(sx, sy)) / 255.0 * weight;
                    best = std::max(best, a);
                }
            }
            const int a = int(std::lround(best * 235));
            halo.setPixel(x, y, qRgba(a, a, a, a));   // premultiplied white
        }
    }
    QPainter p(&out);
    p.drawImage(0, 0, halo);
    p.drawImage(0, 0, src);
    p.end();
    return out.convertToFormat(QImage::Format_ARGB32);
}

struct Icon {
    const char *name;
    std::function<void(QPainter &)> draw;
};

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: makeicons <output folder>\n";
        return 2;
    }
    const QString dirName = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dirName)) {
        QTextStream(stderr) << "cannot create " << dirName << "\n";
        return 1;
    }
    const QDir dir(dirName);

    const Icon icons[] = {
        {"object", drawObject}, {"home", drawHome},       {"down", drawDown},
        {"up", drawUp},         {"config", drawConfig},   {"help", drawHelp},
        {"onoff", drawOnOff},   {"manahme", drawManahme}, {"left", drawLeft},
        {"date", drawDate},     {"plus", drawPlus},       {"shower", drawShower},
        {"tap", drawTap},
    };

    // Icons are drawn on a 64x64 canvas inset by the halo width so nothing
    // touches the border.
    int failures = 0;
    for (const Icon &icon : icons) {
        QImage img(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            prepare(p);
            const double inset = kHalo + 0.5;
            const double scale = (kSize - 2 * inset) / kSize;
            p.translate(inset, inset);
            p.scale(scale, scale);
            icon.draw(p);
        }
        const QImage out = withHalo(img);
        const QString file = dir.filePath(QString::fromLatin1(icon.name) + QStringLiteral(".png"));
        if (!out.save(file, "PNG")) {
            QTextStream(stderr) << "cannot write " << file << "\n";
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
