#include "diagnostics/table_sort.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace velm {

namespace {

// Below this many rows the exchange loops themselves are fast enough.
constexpr std::size_t EXCHANGE_LOOP_ROWS = 256;

// The exchange sort exactly as the tables were always sorted: the order of
// the rows it leaves, as row numbers.
std::vector<std::size_t> exchange_loop_order(const std::vector<float>& keys, bool ascending)
{
    std::vector<float> sorted = keys;
    std::vector<std::size_t> order(keys.size());
    for (std::size_t row = 0; row < order.size(); ++row) order[row] = row;
    for (std::size_t j = 1; j < sorted.size(); ++j) {
        for (std::size_t i = 0; i < j; ++i) {
            const bool exchange = ascending ? sorted[j] < sorted[i] : sorted[j] > sorted[i];
            if (!exchange) continue;
            std::swap(sorted[i], sorted[j]);
            std::swap(order[i], order[j]);
        }
    }
    return order;
}

// A sequence of row numbers that can be rotated and appended to in
// logarithmic time: an implicit treap whose in-order walk is the sequence.
class RowSequence {
public:
    explicit RowSequence(std::size_t capacity) { nodes_.reserve(capacity); }

    void append(std::size_t row)
    {
        nodes_.push_back({row, next_priority(), NONE, NONE, 1});
        root_ = merge(root_, static_cast<int>(nodes_.size() - 1));
    }
    // The first `count` rows move to the end, in their order.
    void rotate_left(std::size_t count)
    {
        const std::size_t length = size(root_);
        if (length == 0 || count % length == 0) return;
        auto [front, back] = split(root_, count % length);
        root_ = merge(back, front);
    }
    void append_rows_to(std::vector<std::size_t>& out) const
    {
        // In-order walk without recursion: a long sequence must not exhaust the stack.
        std::vector<int> stack;
        int node = root_;
        while (node != NONE || !stack.empty()) {
            while (node != NONE) {
                stack.push_back(node);
                node = nodes_[static_cast<std::size_t>(node)].left;
            }
            node = stack.back();
            stack.pop_back();
            out.push_back(nodes_[static_cast<std::size_t>(node)].row);
            node = nodes_[static_cast<std::size_t>(node)].right;
        }
    }

private:
    static constexpr int NONE = -1;
    struct Node {
        std::size_t row;
        std::uint32_t priority;
        int left;
        int right;
        std::size_t size;
    };

    std::uint32_t next_priority()
    {
        // xorshift: a fixed sequence, so every run builds the same trees.
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    std::size_t size(int node) const { return node == NONE ? 0 : nodes_[static_cast<std::size_t>(node)].size; }
    void update(int node)
    {
        Node& n = nodes_[static_cast<std::size_t>(node)];
        n.size = 1 + size(n.left) + size(n.right);
    }
    int merge(int left, int right)
    {
        if (left == NONE) return right;
        if (right == NONE) return left;
        if (nodes_[static_cast<std::size_t>(left)].priority > nodes_[static_cast<std::size_t>(right)].priority) {
            nodes_[static_cast<std::size_t>(left)].right = merge(nodes_[static_cast<std::size_t>(left)].right, right);
            update(left);
            return left;
        }
        nodes_[static_cast<std::size_t>(right)].left = merge(left, nodes_[static_cast<std::size_t>(right)].left);
        update(right);
        return right;
    }
    // The first `count` nodes of the tree, and the rest.
    std::pair<int, int> split(int node, std::size_t count)
    {
        if (node == NONE) return {NONE, NONE};
        Node& n = nodes_[static_cast<std::size_t>(node)];
        if (size(n.left) >= count) {
            auto [front, back] = split(n.left, count);
            nodes_[static_cast<std::size_t>(node)].left = back;
            update(node);
            return {front, node};
        }
        auto [front, back] = split(n.right, count - size(n.left) - 1);
        nodes_[static_cast<std::size_t>(node)].right = front;
        update(node);
        return {node, back};
    }

    std::vector<Node> nodes_;
    int root_ = NONE;
    std::uint32_t state_ = 2463534242u;
};

// Counts of the earlier rows by group rank.
class RankCounter {
public:
    explicit RankCounter(std::size_t ranks) : tree_(ranks + 1, 0) {}
    void add(std::size_t rank)
    {
        for (std::size_t i = rank + 1; i < tree_.size(); i += i & (~i + 1)) ++tree_[i];
    }
    // Rows counted so far whose rank is below `rank`.
    std::size_t below(std::size_t rank) const
    {
        std::size_t count = 0;
        for (std::size_t i = rank; i > 0; i -= i & (~i + 1)) count += tree_[i];
        return count;
    }

private:
    std::vector<std::size_t> tree_;
};

// The same result as the exchange loops, reached without their n*n steps.
// While row j is sorted in, the rows before it are in order; every run of
// equal keys that comes after row j's place gives its first row to the end
// of the run, and row j joins the end of the run of its own key.  So the
// rows of one key end up in the order of their arrival, turned one place
// to the left for every later row whose key comes before theirs.
std::vector<std::size_t> key_group_order(const std::vector<float>& row_keys, bool ascending)
{
    std::vector<float> keys = row_keys;
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    if (!ascending) std::reverse(keys.begin(), keys.end());
    auto rank_of = [&](float value) {
        const auto at = ascending ? std::lower_bound(keys.begin(), keys.end(), value)
                                  : std::lower_bound(keys.begin(), keys.end(), value, std::greater<float>());
        return static_cast<std::size_t>(at - keys.begin());
    };

    std::vector<std::size_t> group_sizes(keys.size(), 0);
    std::vector<std::size_t> ranks;
    ranks.reserve(row_keys.size());
    for (const float key : row_keys) {
        ranks.push_back(rank_of(key));
        ++group_sizes[ranks.back()];
    }
    std::vector<RowSequence> groups;
    groups.reserve(keys.size());
    for (std::size_t size : group_sizes) groups.emplace_back(size);

    RankCounter counter(keys.size());
    std::vector<std::size_t> counted_at_last_arrival(keys.size(), 0);
    for (std::size_t row = 0; row < row_keys.size(); ++row) {
        const std::size_t rank = ranks[row];
        const std::size_t before = counter.below(rank);
        groups[rank].rotate_left(before - counted_at_last_arrival[rank]);
        groups[rank].append(row);
        counted_at_last_arrival[rank] = before;
        counter.add(rank);
    }

    std::vector<std::size_t> order;
    order.reserve(row_keys.size());
    for (std::size_t rank = 0; rank < keys.size(); ++rank) {
        groups[rank].rotate_left(counter.below(rank) - counted_at_last_arrival[rank]);
        groups[rank].append_rows_to(order);
    }
    return order;
}

}  // namespace

std::vector<std::size_t> exchange_sort_order(const std::vector<float>& keys, TableSortOrder order)
{
    const bool ascending = order == TableSortOrder::Ascending;
    // A key that is not a number compares with nothing: only the loops
    // themselves say where such rows go.
    const bool all_numbers = std::none_of(keys.begin(), keys.end(), [](float key) { return std::isnan(key); });
    if (keys.size() <= EXCHANGE_LOOP_ROWS || !all_numbers) return exchange_loop_order(keys, ascending);
    return key_group_order(keys, ascending);
}

void sort_table_rows(std::vector<TableRow>& rows, int key_column, TableSortOrder order)
{
    if (key_column < 1 || key_column > static_cast<int>(TableRow{}.size()))
        throw std::invalid_argument("no table column " + std::to_string(key_column));
    const std::size_t key = static_cast<std::size_t>(key_column - 1);
    std::vector<float> keys;
    keys.reserve(rows.size());
    for (const TableRow& row : rows) keys.push_back(row[key]);
    std::vector<TableRow> sorted;
    sorted.reserve(rows.size());
    for (std::size_t row : exchange_sort_order(keys, order)) sorted.push_back(rows[row]);
    rows = std::move(sorted);
}

}  // namespace velm
