#include "PacketLogChart.h"

#include "PacketLogModel.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCursor>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// More points than this are thinned to the least and greatest value of each stretch of rows,
// which keeps every spike while the chart stays quick to draw.
constexpr qsizetype Most_Points = 40000;

// A cell as a number: an ISO 8601 date as milliseconds since 1970, else a decimal number.
bool Value_Of(QByteArrayView cell, double& value, bool& is_time) {
    if (cell.isEmpty())
        return false;
    bool ok = false;
    value = cell.toDouble(&ok);
    is_time = false;
    if (ok)
        return std::isfinite(value);
    // The table writes dates as yyyy-MM-ddThh:mm:ssZ; anything else is not worth parsing.
    if (cell.size() != 20 || cell[4] != '-' || cell[10] != 'T')
        return false;
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(cell), Qt::ISODate);
    if (!time.isValid())
        return false;
    value = double(time.toMSecsSinceEpoch());
    is_time = true;
    return true;
}

// Per stretch of `step` points the least and the greatest, in their order.
void Thin(QList<QPointF>& points, std::vector<int>& rows) {
    const qsizetype step = (points.size() + Most_Points / 2 - 1) / (Most_Points / 2);
    QList<QPointF> kept;
    std::vector<int> kept_rows;
    for (qsizetype from = 0; from < points.size(); from += step) {
        const qsizetype to = std::min(points.size(), from + step);
        qsizetype low = from, high = from;
        for (qsizetype i = from; i < to; ++i) {
            low = points[i].y() < points[low].y() ? i : low;
            high = points[i].y() > points[high].y() ? i : high;
        }
        for (const qsizetype i : {std::min(low, high), std::max(low, high)}) {
            if (kept_rows.empty() || kept_rows.back() != rows[i]) {
                kept.append(points[i]);
                kept_rows.push_back(rows[i]);
            }
        }
    }
    points.swap(kept);
    rows.swap(kept_rows);
}

} // namespace

PacketLogChart::PacketLogChart(PacketLogModel& model, QWidget* parent)
    : QWidget(parent), Model(model) {
    Y_Choice = new QComboBox;
    X_Choice = new QComboBox;
    auto* choices = new QHBoxLayout;
    choices->addWidget(new QLabel(QStringLiteral("График:")));
    choices->addWidget(Y_Choice, 1);
    choices->addWidget(new QLabel(QStringLiteral("по оси X:")));
    choices->addWidget(X_Choice, 1);

    Chart = new QChart;
    Chart->legend()->hide();
    Line = new QLineSeries;
    Chart->addSeries(Line);
    View = new QChartView(Chart);
    View->setRubberBand(QChartView::RectangleRubberBand);
    View->setRenderHint(QPainter::Antialiasing);
    View->setFocusPolicy(Qt::StrongFocus);
    View->installEventFilter(this);
    X_Value = new QValueAxis;
    X_Time = new QDateTimeAxis;
    X_Time->setFormat(QStringLiteral("dd.MM hh:mm:ss"));
    Y_Axis = new QValueAxis;
    Chart->addAxis(X_Value, Qt::AlignBottom);
    Chart->addAxis(X_Time, Qt::AlignBottom);
    Chart->addAxis(Y_Axis, Qt::AlignLeft);
    Line->attachAxis(Y_Axis);
    Set_Axes(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(choices);
    layout->addWidget(View, 1);

    Rebuild_Later.setSingleShot(true);
    Rebuild_Later.setInterval(300);
    connect(&Rebuild_Later, &QTimer::timeout, this, &PacketLogChart::Rebuild);
    connect(Y_Choice, &QComboBox::currentIndexChanged, this, &PacketLogChart::Rebuild);
    connect(X_Choice, &QComboBox::currentIndexChanged, this, &PacketLogChart::Rebuild);
    connect(&Model, &QAbstractItemModel::modelReset, this, &PacketLogChart::Rebuild);
    connect(&Model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { Add_Rows(first, last); });
    connect(Line, &QXYSeries::hovered, this, [this](const QPointF& point, bool state) {
        if (state)
            QToolTip::showText(QCursor::pos(), Describe(point), View);
        else
            QToolTip::hideText();
    });
    connect(Line, &QXYSeries::clicked, this, [this](const QPointF& point) {
        if (const int i = Nearest_Point(point); i >= 0)
            Q_EMIT Row_Picked(Rows_Of_Points[i]);
    });
}

void PacketLogChart::Offer_Columns() {
    const QSignalBlocker block_y(Y_Choice), block_x(X_Choice);
    const QString y = Y_Choice->currentText(), x = X_Choice->currentText();
    Y_Choice->clear();
    X_Choice->clear();
    X_Choice->addItem(QStringLiteral("номер строки"), Row_Number);
    if (Model.Is_Timed())
        X_Choice->addItem(QStringLiteral("время прихода"), Arrival_Time);
    // No column at first: a large file reads quicker without a chart to follow it.
    Y_Choice->addItem(QStringLiteral("—"), -1);
    const QStringList& header = Model.Csv_Header();
    for (int column = PacketLogModel::Csv_Fixed; column < header.size(); ++column) {
        Y_Choice->addItem(header[column], column);
        X_Choice->addItem(header[column], column);
    }
    // The same choice again when the columns kept their names (decoding anew, say).
    Y_Choice->setCurrentIndex(std::max(0, Y_Choice->findText(y)));
    X_Choice->setCurrentIndex(std::max(0, X_Choice->findText(x)));
    Rebuild();
}

void PacketLogChart::Plot(int y, int x) {
    const QSignalBlocker block_y(Y_Choice), block_x(X_Choice);
    Y_Choice->setCurrentIndex(Y_Choice->findData(y));
    X_Choice->setCurrentIndex(X_Choice->findData(x));
    Rebuild();
}

bool PacketLogChart::Point_Of(int shown_row, QPointF& point) const {
    const qsizetype row = Model.Stored_Row(shown_row);
    double y = 0;
    bool is_time = false;
    const int y_column = Y_Choice->currentData().toInt();
    if (y_column < 0 || !Value_Of(Model.Rows().Plain_Cell(row, y_column), y, is_time))
        return false;
    const int x_choice = X_Choice->currentData().toInt();
    double x = double(row + 1);
    if (x_choice == Arrival_Time)
        x = double(Model.Rows().Time_Of(row));
    else if (x_choice >= 0 && !Value_Of(Model.Rows().Plain_Cell(row, x_choice), x, is_time))
        return false;
    point = QPointF(x, y);
    return true;
}

// Both X axes stay in the chart; the series is attached to the one in use, the other is hidden.
void PacketLogChart::Set_Axes(bool x_is_time) {
    QAbstractAxis* const used = x_is_time ? static_cast<QAbstractAxis*>(X_Time) : X_Value;
    QAbstractAxis* const unused = x_is_time ? static_cast<QAbstractAxis*>(X_Value) : X_Time;
    X_Is_Time = x_is_time;
    if (Line->attachedAxes().contains(unused))
        Line->detachAxis(unused);
    if (!Line->attachedAxes().contains(used))
        Line->attachAxis(used);
    unused->setVisible(false);
    used->setVisible(true);
}

void PacketLogChart::Rebuild() {
    Rebuild_Later.stop();
    QList<QPointF> points;
    Rows_Of_Points.clear();
    QPointF point;
    const bool plotted = Y_Choice->currentData().toInt() >= 0;
    for (int row = 0; plotted && row < Model.rowCount(); ++row) {
        if (Point_Of(row, point)) {
            points.append(point);
            Rows_Of_Points.push_back(row);
        }
    }
    if (points.size() > Most_Points)
        Thin(points, Rows_Of_Points);
    const int x_choice = X_Choice->currentData().toInt();
    bool x_is_time = x_choice == Arrival_Time;
    if (x_choice >= 0 && !Rows_Of_Points.empty()) {
        double value = 0;
        Value_Of(Model.Rows().Plain_Cell(Model.Stored_Row(Rows_Of_Points.front()), x_choice), value,
                 x_is_time);
    }
    Line->replace(points);
    Set_Axes(x_is_time);
    Fit_Axes();
}

void PacketLogChart::Fit_Axes() {
    const QList<QPointF> points = Line->points();
    if (points.isEmpty())
        return;
    const auto [low_x, high_x] = std::minmax_element(
        points.begin(), points.end(), [](auto& a, auto& b) { return a.x() < b.x(); });
    const auto [low_y, high_y] = std::minmax_element(
        points.begin(), points.end(), [](auto& a, auto& b) { return a.y() < b.y(); });
    const double pad_y = std::max(1e-9, (high_y->y() - low_y->y()) * 0.05);
    Y_Axis->setRange(low_y->y() - pad_y, high_y->y() + pad_y);
    if (X_Is_Time)
        X_Time->setRange(QDateTime::fromMSecsSinceEpoch(qint64(low_x->x())),
                         QDateTime::fromMSecsSinceEpoch(qint64(high_x->x()) + 1));
    else
        X_Value->setRange(low_x->x(), std::max(high_x->x(), low_x->x() + 1e-9));
}

void PacketLogChart::Add_Rows(int first, int last) {
    if (Rebuild_Later.isActive() || Y_Choice->currentData().toInt() < 0)
        return;
    // The first points decide the kind of X axis; too many are thinned: both by a new pass.
    if (qsizetype(Rows_Of_Points.size()) + (last - first + 1) > Most_Points ||
        Rows_Of_Points.empty()) {
        Rebuild_Later.start();
        return;
    }
    // A few rows, a serial line say: appended, the axes widened to show them.
    QList<QPointF> points;
    QPointF point;
    for (int row = first; row <= last; ++row) {
        if (Point_Of(row, point)) {
            points.append(point);
            Rows_Of_Points.push_back(row);
        }
    }
    if (points.isEmpty())
        return;
    Line->append(points);
    if (!Chart->isZoomed()) // a view the user zoomed into stays where it is
        Fit_Axes();
}

int PacketLogChart::Nearest_Point(const QPointF& point) const {
    const QList<QPointF> points = Line->points();
    int nearest = -1;
    double best = 0;
    for (int i = 0; i < points.size(); ++i) {
        const double distance = std::abs(points[i].x() - point.x());
        if (nearest < 0 || distance < best) {
            nearest = i;
            best = distance;
        }
    }
    return nearest < int(Rows_Of_Points.size()) ? nearest : -1;
}

QString PacketLogChart::Describe(const QPointF& point) const {
    const int i = Nearest_Point(point);
    if (i < 0)
        return {};
    const int row = Rows_Of_Points[i];
    const QString where =
        Model.data(Model.index(row, 0)).toString(); // the line, or the arrival time
    return QStringLiteral("Строка %1: %2 = %3")
        .arg(where, Y_Choice->currentText(),
             Model.Rows().Cell(Model.Stored_Row(row), Y_Choice->currentData().toInt()));
}

bool PacketLogChart::eventFilter(QObject* watched, QEvent* event) {
    if (watched == View && event->type() == QEvent::Wheel) {
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        if (delta != 0)
            Chart->zoom(delta > 0 ? 1.25 : 0.8);
        return true;
    }
    if (watched == View && event->type() == QEvent::KeyPress) {
        const int step = 20;
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Left:
            Chart->scroll(-step, 0);
            return true;
        case Qt::Key_Right:
            Chart->scroll(step, 0);
            return true;
        case Qt::Key_Up:
            Chart->scroll(0, step);
            return true;
        case Qt::Key_Down:
            Chart->scroll(0, -step);
            return true;
        case Qt::Key_Home:
            Chart->zoomReset();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
