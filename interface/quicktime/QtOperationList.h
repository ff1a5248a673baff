// The one table of the QuickTime runtime's operations: name, 32-bit
// dispatcher selector, result type and typed parameters. Everything else is
// generated from it: the plug-in's declarations and call stubs
// (src/quicktime/QtOperations.h, QtStubs.S), the selectors (QtSelectors.h)
// and the runtime's dispatch table (runtime/frame/RuntimeDispatch.h).
// Define QT_OPERATION(name, selector, result, params) before including it.
// No include guard: it is expanded several times.
//
// Statuses: QtStatus is 16 bits, QtLongStatus 32 bits; 0 is success.
// Arguments are passed as the C calling convention of the platform passes
// them (cdecl on i386); the dispatcher receives them untouched.

// Runtime
QT_OPERATION(QtRuntimeInit, 0x1D0008, QtStatus, (int32_t flags))
QT_OPERATION(QtRuntimeTerm, 0x1D0009, void, ())
QT_OPERATION(QtRuntimeStateQuery, 0x1D0059, QtBoolean, ())
QT_OPERATION(QtMoviesStart, 0x20001, QtStatus, ())

// Movie files
QT_OPERATION(QtFileSpecMake, 0xF00E2, QtStatus,
             (int16_t volume, int32_t directory, const unsigned char* countedPath, QtFileSpec* spec))
QT_OPERATION(QtFileType, 0xF00E8, QtStatus, (const QtFileSpec* spec, QtFinderInfo* info))
QT_OPERATION(QtFileProbe, 0x2033E, QtStatus,
             (const QtFileSpec* spec, QtOSType fileType, int32_t extension, QtBoolean* canOpenAsImage,
              QtBoolean* canOpenAsMovie, QtBoolean* preferImage, uint32_t flags))
QT_OPERATION(QtMovieFileOpen, 0x20192, QtStatus,
             (const QtFileSpec* spec, int16_t* fileRef, int8_t permission))
QT_OPERATION(QtMovieLoad, 0x200F0, QtStatus,
             (QtMovie* movie, int16_t fileRef, int16_t* resourceId, unsigned char* name,
              int16_t flags, QtBoolean* dataRefChanged))
QT_OPERATION(QtMovieFileClose, 0x200D5, QtStatus, (int16_t fileRef))

// Movies
QT_OPERATION(QtMovieDispose, 0x20023, void, (QtMovie movie))
QT_OPERATION(QtMovieDuration, 0x2002B, QtTimeValue, (QtMovie movie))
QT_OPERATION(QtMovieTimeScale, 0x20029, int32_t, (QtMovie movie))
QT_OPERATION(QtMovieTimeBase, 0x20012, QtTimeBase, (QtMovie movie))
QT_OPERATION(QtMovieUserData, 0x2003E, QtUserData, (QtMovie movie))
QT_OPERATION(QtMovieTrackCount, 0x2003F, int32_t, (QtMovie movie))
QT_OPERATION(QtUserDataItem, 0x20126, QtStatus,
             (QtUserData userData, void* buffer, int32_t size, QtOSType type, int32_t index))
QT_OPERATION(QtUserDataText, 0x2014D, QtStatus,
             (QtUserData userData, QtHandle text, QtOSType type, int32_t index, int16_t language))

// Handles
QT_OPERATION(QtHandleNew, 0x150008, QtHandle, (int32_t size))
QT_OPERATION(QtHandleSize, 0x150034, int32_t, (QtHandle handle))
QT_OPERATION(QtHandleDispose, 0x150032, void, (QtHandle handle))

// Tracks
QT_OPERATION(QtMovieTrack, 0x20117, QtTrack, (QtMovie movie, int32_t index))
QT_OPERATION(QtTrackMedia, 0x20062, QtMedia, (QtTrack track))
QT_OPERATION(QtMediaType, 0x2006F, void,
             (QtMedia media, QtOSType* mediaType, unsigned char* name, QtOSType* manufacturer))
QT_OPERATION(QtTrackEnable, 0x20046, void, (QtTrack track, QtBoolean enabled))
// Whether the track plays with the movie: as the file marks it until
// QtTrackEnable changes it.
QT_OPERATION(QtTrackEnabled, 0x20045, QtBoolean, (QtTrack track))
// flags 8: sync samples only, 16: every sample. The sign of rate gives the
// direction (0 searches forward). next is -1 when there is no such sample.
QT_OPERATION(QtTrackNextTime, 0x200E2, void,
             (QtTrack track, int16_t flags, QtTimeValue time, int32_t rate, QtTimeValue* next,
              QtTimeValue* duration))

// Audio extraction
QT_OPERATION(QtExtractBegin, 0x204B4, QtLongStatus, (QtMovie movie, uint32_t flags, QtExtraction* extraction))
QT_OPERATION(QtExtractEnd, 0x204B5, QtLongStatus, (QtExtraction extraction))
QT_OPERATION(QtExtractFill, 0x204B6, QtLongStatus,
             (QtExtraction extraction, uint32_t* frames, QtPcmBufferList* buffers, uint32_t* flags))
QT_OPERATION(QtExtractPropertyInfo, 0x204B7, QtLongStatus,
             (QtExtraction extraction, QtOSType propertyClass, QtOSType property, QtOSType* type,
              uint32_t* size, uint32_t* flags))
QT_OPERATION(QtExtractPropertyGet, 0x204B8, QtLongStatus,
             (QtExtraction extraction, QtOSType propertyClass, QtOSType property, uint32_t size,
              void* value, uint32_t* written))
QT_OPERATION(QtExtractPropertySet, 0x204B9, QtLongStatus,
             (QtExtraction extraction, QtOSType propertyClass, QtOSType property, uint32_t size,
              const void* value))

// Components
QT_OPERATION(QtComponentRequest, 0x10000, QtLongStatus, (QtComponentInstance instance, QtComponentParams* block))
QT_OPERATION(QtComponentFind, 0x10004, QtComponent, (QtComponent previous, const QtComponentDescription* description))
QT_OPERATION(QtComponentClose, 0x10008, QtStatus, (QtComponentInstance instance))
QT_OPERATION(QtComponentOpen, 0x1002D, QtStatus, (QtComponent component, QtComponentInstance* instance))

// Images
QT_OPERATION(QtMatrixRectMap, 0x4001E, void, (QtMatrix* matrix, const QtRect* from, const QtRect* to))
QT_OPERATION(QtSurfaceCreate, 0x3008B, QtStatus,
             (QtSurface* surface, uint32_t pixelFormat, const QtRect* bounds, void* colorTable,
              void* device, uint32_t flags, void* baseAddress, int32_t rowBytes))
QT_OPERATION(QtSurfacePixels, 0x1C0018, QtPixelMap, (QtSurface surface))
QT_OPERATION(QtSurfaceDispose, 0x1C0005, void, (QtSurface surface))
QT_OPERATION(QtPixelsPrepare, 0x1C0002, QtBoolean, (QtPixelMap pixels))
QT_OPERATION(QtDecompressStart, 0x3005D, QtStatus,
             (QtSequence* sequence, QtHandle description, const unsigned char* data, int32_t dataSize,
              QtSurface surface, void* device, const QtRect* sourceRect, const QtMatrix* matrix,
              int16_t mode, void* mask, uint32_t flags, uint32_t accuracy, QtComponent decompressor))
QT_OPERATION(QtDecompressFrame, 0x30047, QtStatus,
             (QtSequence sequence, const unsigned char* data, int32_t dataSize, uint32_t inFlags,
              uint32_t* outFlags, void* completion))
QT_OPERATION(QtDecompressStop, 0x3001B, QtStatus, (QtSequence sequence))
