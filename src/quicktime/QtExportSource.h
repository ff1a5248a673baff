// The movie-export component's two requests that set up and take down a
// source of one track's samples. Both go through QtComponentRequest with a
// parameter block (QtComponentParams in QtTypes.h): flags 0, the byte count
// of the parameters, the request code, then the parameters in call order,
// each in a pointer-sized slot (the exporter is the request's own argument
// and is not in the block). On the Windows build that is 36 bytes for the
// nine parameters of a create and 12 for the three of a dispose; on the
// 64-bit build 72 and 24.
#pragma once

#include "quicktime/QtTypes.h"

namespace Qel {

// Request 256: a source for track over [start, start + duration) of movie,
// delivering mediaType samples. Fills timeScale with the source's time scale
// and hands back the property and data functions with their context, which
// stay valid until QtExportSourceDispose.
QtLongStatus QtExportSourceCreate(QtComponentInstance exporter, QtOSType mediaType, int32_t* timeScale,
                                  QtMovie movie, QtTrack track, QtTimeValue start, QtTimeValue duration,
                                  QtExportPropertyFunction* propertyFunction, QtExportDataFunction* dataFunction,
                                  void** context);

// Request 257: disposes of the source that the three values came from.
QtLongStatus QtExportSourceDispose(QtComponentInstance exporter, QtExportPropertyFunction propertyFunction,
                                   QtExportDataFunction dataFunction, void* context);

} // namespace Qel
