#pragma once

class QAbstractScrollArea;

// Keeps the rows of a scrolling view where they are on screen when something above the view
// changes height (a bar that grows with the live item, a notice, a row of chips): the view's top
// moved by d within its window, so its vertical scroll moves by d too, as far as the range
// allows. Nothing moves under the pointer between aiming and clicking.
//
// Until the pointer has come over the view since it came on screen, the page around it may
// still be settling (first load, a header that rewraps); its place is then taken as it is.
//
// An item view is set to scroll by pixels. Usage, once per view:
//   ScrollAnchor::install(table);
namespace ScrollAnchor {

void install(QAbstractScrollArea *area);

} // namespace ScrollAnchor
