// Small list-box helpers for Parvane's dialogs. The dialogs keep their entries
// in their own tables; the list boxes only show them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace registrar {

// Replaces every item with the given texts, in order, and sizes the
// horizontal scroll range to the widest of them.
void FillListBox(HWND list, const std::vector<std::wstring>& texts);

// Adds the texts after the last item; selection and scroll position stay, and
// the horizontal scroll range grows to the widest new text.
void AppendListItems(HWND list, const std::vector<std::wstring>& texts);

// Replaces the text of one item, keeping its place and selection.
void ReplaceListItem(HWND list, int index, const std::wstring& text);

// Positions of the selected items, first to last.
std::vector<int> SelectedListItems(HWND list);

// The item that a double-click stands for: the item with the focus
// rectangle, provided it is selected; -1 when there is none.
int FocusedSelectedItem(HWND list);

}  // namespace registrar
