#pragma once

#include <gst/gst.h>

// Calls `visit` for every element inside `bin`, at any depth, until it returns false. A bin that
// changes meanwhile is walked again from its start, after `restart`.
template <typename Visit, typename Restart>
void forEachElement(GstElement *bin, Visit visit, Restart restart)
{
    if (!GST_IS_BIN(bin)) {
        return;
    }
    GstIterator *elements = gst_bin_iterate_recurse(GST_BIN(bin));
    GValue item = G_VALUE_INIT;
    bool more = true;
    while (more) {
        switch (gst_iterator_next(elements, &item)) {
        case GST_ITERATOR_OK:
            more = visit(GST_ELEMENT(g_value_get_object(&item)));
            g_value_reset(&item);
            break;
        case GST_ITERATOR_RESYNC:
            gst_iterator_resync(elements);
            restart();
            break;
        default:
            more = false;
            break;
        }
    }
    g_value_unset(&item);
    gst_iterator_free(elements);
}

template <typename Visit>
void forEachElement(GstElement *bin, Visit visit)
{
    forEachElement(bin, visit, [] {});
}
