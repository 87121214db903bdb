/* The tunewright plugin: the tunewrightdec element, and a typefinder that names files beginning with
 * "Org-02" audio/x-org-song, so that decodebin and playbin find the element by themselves. */
#include "gsttunewrightdec.h"

#include <string.h>

#include "tunewright-plugin.h"

static void gst_tunewright_type_find(GstTypeFind* p_find, gpointer p_user)
{
    (void)p_user;
    const guint8* l_magic = gst_type_find_peek(p_find, 0, TUNEWRIGHT_MAGIC_SIZE);
    if (l_magic && memcmp(l_magic, TUNEWRIGHT_MAGIC, TUNEWRIGHT_MAGIC_SIZE) == 0)
        gst_type_find_suggest_empty_simple(p_find, GST_TYPE_FIND_MAXIMUM, GST_TUNEWRIGHT_SONG_CAPS);
}

static gboolean plugin_init(GstPlugin* p_plugin)
{
    return gst_type_find_register(p_plugin, GST_TUNEWRIGHT_SONG_CAPS, GST_RANK_PRIMARY,
                                  gst_tunewright_type_find, "org", NULL, NULL, NULL) &&
           gst_element_register(p_plugin, "tunewrightdec", GST_RANK_PRIMARY, GST_TYPE_TUNEWRIGHT_DEC);
}

/* The code is under the zlib licence, a permissive one that GStreamer's list of licences has no
 * entry of its own for; "BSD" is that list's entry for the permissive BSD-style licences. */
/* The description's reserved fields are left to their zero, as GStreamer's macro leaves them. */
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, tunewright, "Org-02 songs, decoded by libtunewright",
                  plugin_init, TUNEWRIGHT_PLUGIN_VERSION, "BSD", "tunewright", "tunewright")
