// The rows of a list gadget, as a table model.

#include "ui/toolkit/list_model.h"

#include "ui/toolkit/qt_binding.h"

namespace tk {

namespace binding {

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : listColumns; }

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<size_t>(index.row()) >= rows_.size()) return {};
    const ListRow& row = rows_[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole: return text(row, index.column());
        case Qt::CheckStateRole:
            if (checkable && index.column() == 0) return row.checked ? Qt::Checked : Qt::Unchecked;
            return {};
        case Qt::ForegroundRole: {
            if (!row.front.isValid()) return {};
            // Painted readable on the row's background, whatever the palette.
            const QWidget* view = widgetOf(owner_);
            const QColor back = row.back.isValid() ? row.back
                                : view               ? view->palette().color(QPalette::Base)
                                                     : QColor(Qt::white);
            return QVariant(readableOn(row.front, back));
        }
        case Qt::BackgroundRole: return row.back.isValid() ? QVariant(row.back) : QVariant();
        case Qt::ToolTipRole:
        case Qt::AccessibleDescriptionRole: return row.note.isEmpty() ? QVariant() : QVariant(row.note);
        default: return {};
    }
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != 0 || !checkable) return false;
    if (static_cast<size_t>(index.row()) >= rows_.size()) return false;
    rows_[static_cast<size_t>(index.row())].checked = value.toInt() == Qt::Checked;
    emit dataChanged(index, index);
    if (state().programmatic == 0) queueEvent(gadgetEvent, owner_);
    return true;
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < listColumns) {
        return titles_[section];
    }
    return {};
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (checkable && index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

void ListModel::appendRow(const QString& first, const QString& second) {
    int at = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), at, at);
    rows_.push_back(ListRow{{first, second}, false, QColor(), QColor(), ListRow::notSourced});
    endInsertRows();
}

void ListModel::appendRows(std::vector<ListRow>&& rows) {
    if (rows.empty()) return;
    const int at = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), at, at + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
}

void ListModel::appendSourcedRows(const std::vector<Text>& source, size_t from, size_t count) {
    if (count == 0) return;
    source_ = &source;
    const int at = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), at, at + static_cast<int>(count) - 1);
    rows_.resize(rows_.size() + count);
    for (size_t i = 0; i < count; ++i) rows_[static_cast<size_t>(at) + i].sourced = from + i;
    endInsertRows();
}

QString ListModel::text(const ListRow& row, int column) const {
    if (column == 1 && row.sourced != ListRow::notSourced && source_ != nullptr && row.sourced < source_->size())
        return toQString((*source_)[row.sourced]);
    return row.columns[column];
}

void ListModel::insertRowAt(int position, const QString& first, const QString& second) {
    if (position < 0 || static_cast<size_t>(position) > rows_.size()) position = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), position, position);
    rows_.insert(rows_.begin() + position, ListRow{{first, second}, false, QColor(), QColor(), ListRow::notSourced});
    endInsertRows();
}

void ListModel::removeRowAt(int position) {
    if (position < 0 || static_cast<size_t>(position) >= rows_.size()) return;
    beginRemoveRows(QModelIndex(), position, position);
    rows_.erase(rows_.begin() + position);
    endRemoveRows();
}

void ListModel::clearRows() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void ListModel::setChecked(int row, bool checked) {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
    rows_[static_cast<size_t>(row)].checked = checked;
    QModelIndex i = index(row, 0);
    emit dataChanged(i, i, {Qt::CheckStateRole});
}

void ListModel::setRowColour(int row, int slot, const QColor& colour) {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
    ListRow& r = rows_[static_cast<size_t>(row)];
    (slot == frontColour ? r.front : r.back) = colour;
    emit dataChanged(index(row, 0), index(row, listColumns - 1));
}

void ListModel::setRowNote(int row, const QString& note) {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
    rows_[static_cast<size_t>(row)].note = note;
    emit dataChanged(index(row, 0), index(row, listColumns - 1));
}

void ListModel::clearColumn(int column) {
    if (column < 0 || column >= listColumns || rows_.empty()) return;
    for (ListRow& row : rows_) {
        row.columns[column] = QString();
        if (column == 1) row.sourced = ListRow::notSourced;
    }
    emit dataChanged(index(0, column), index(static_cast<int>(rows_.size()) - 1, column));
}

void ListModel::setColumnTitle(int column, const QString& title) {
    titles_[column] = title;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

}  // namespace binding
}  // namespace tk
