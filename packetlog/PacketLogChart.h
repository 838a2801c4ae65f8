#pragma once

#include <QPointF>
#include <QTimer>
#include <QWidget>

#include <vector>

class PacketLogModel;
class QDateTimeAxis;
class QValueAxis;
class QChart;
class QChartView;
class QComboBox;
class QLineSeries;

// A chart of one column of the packet log against the row number, the arrival time or another
// column (a time field, say). It follows the table's shown rows as they come in. The wheel
// zooms, a dragged rectangle zooms into it, the right button and Home zoom out, the arrow keys
// pan; hovering a point names its row and clicking it picks that row.
class PacketLogChart : public QWidget {
    Q_OBJECT

  public:
    // X choices besides the columns.
    static constexpr int Row_Number = -1, Arrival_Time = -2;

    explicit PacketLogChart(PacketLogModel& model, QWidget* parent = nullptr);

    // The columns to choose from, after the log was started anew.
    void Offer_Columns();
    // Plots CSV column `y` against `x` (a CSV column, Row_Number or Arrival_Time).
    void Plot(int y, int x = Row_Number);
    QLineSeries* Series() const { return Line; }
    // "Строка <line>: <column> = <value>" for the point nearest to `point`; empty without points.
    QString Describe(const QPointF& point) const;

  Q_SIGNALS:
    void Row_Picked(int shown_row);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Rebuild();
    void Add_Rows(int first, int last);
    bool Point_Of(int shown_row, QPointF& point) const;
    int Nearest_Point(const QPointF& point) const;
    void Set_Axes(bool x_is_time);
    void Fit_Axes();

    PacketLogModel& Model;
    QComboBox* Y_Choice = nullptr;
    QComboBox* X_Choice = nullptr;
    QChart* Chart = nullptr;
    QChartView* View = nullptr;
    QLineSeries* Line = nullptr;
    QValueAxis* X_Value = nullptr;
    QDateTimeAxis* X_Time = nullptr;
    QValueAxis* Y_Axis = nullptr;
    std::vector<int> Rows_Of_Points; // the shown row of each point of the series
    bool X_Is_Time = false;
    QTimer Rebuild_Later; // many rows at once are plotted anew, at most a few times a second
};
