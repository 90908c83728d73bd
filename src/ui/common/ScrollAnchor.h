#pragma once

class QAbstractScrollArea;

// Keeps the rows of a scrolling view where they are on screen when something above the view
// changes height (a bar that grows with the live item, a notice, a row of chips): the view's top
// moved by d within its window, so its vertical scroll moves by d too, as far as the range
// allows. Nothing moves under the pointer between aiming and clicking.
//
// The first placement after the view comes on screen is taken as it is. Usage, once per view:
//   ScrollAnchor::install(table);
namespace ScrollAnchor {

void install(QAbstractScrollArea *area);

} // namespace ScrollAnchor
