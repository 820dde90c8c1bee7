#pragma once
// The rows of a list gadget: a model, so that large file sets display quickly. Internal to
// the toolkit.

#include <QAbstractTableModel>
#include <QColor>
#include <QString>

#include <vector>

#include "ui/toolkit/toolkit.h"

namespace tk::binding {

// The columns a list can show: the check box column, the path and a third one.
constexpr int listColumns = 3;

struct ListRow {
    QString columns[listColumns];
    bool checked = false;
    QColor front;  // invalid = default
    QColor back;
    // The entry of the model's source list that the second column shows; none for a row
    // with a text of its own there (one set replaces the entry).
    size_t sourced = notSourced;
    static constexpr size_t notSourced = static_cast<size_t>(-1);
    QString note;  // the row's tool tip and accessible description (none when empty)
};

// The rows of a list gadget; a model so that large file sets display quickly.
class ListModel : public QAbstractTableModel {
public:
    explicit ListModel(Gadget owner) : owner_(owner) {}
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void appendRow(const QString& first, const QString& second);
    void appendRows(std::vector<ListRow>&& rows);
    // Appends count rows whose second column shows source[from + i], read when it is shown.
    void appendSourcedRows(const std::vector<Text>& source, size_t from, size_t count);
    // What a row shows in a column.
    QString text(const ListRow& row, int column) const;
    void insertRowAt(int position, const QString& first, const QString& second);
    void removeRowAt(int position);
    void clearRows();
    void setChecked(int row, bool checked);
    void setRowColour(int row, int slot, const QColor& colour);
    void setRowNote(int row, const QString& note);
    void setColumnTitle(int column, const QString& title);
    // Empties one column of every row at once.
    void clearColumn(int column);
    std::vector<ListRow>& rows() { return rows_; }
    bool checkable = false;

private:
    Gadget owner_;
    std::vector<ListRow> rows_;
    const std::vector<Text>* source_ = nullptr;  // the caller's list sourced rows show
    QString titles_[listColumns];
};

}  // namespace tk::binding
