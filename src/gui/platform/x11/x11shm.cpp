#include "gui/platform/x11/x11shm.h"

// Xlib's interface for writing requests; its min and max macros stay in this file
#include <X11/Xlibint.h>
// after Xlibint.h, which it needs
#include <X11/extensions/shmproto.h>

namespace quorvane::x11 {

void shmAttach(Display* dpy, int opcode, XID segment, int id) {
    LockDisplay(dpy);
    xShmAttachReq* req;
    GetReq(ShmAttach, req);
    req->reqType = CARD8(opcode);
    req->shmReqType = X_ShmAttach;
    req->shmseg = CARD32(segment);
    req->shmid = CARD32(id);
    req->readOnly = 0;
    UnlockDisplay(dpy);
    SyncHandle();
}

void shmDetach(Display* dpy, int opcode, XID segment) {
    LockDisplay(dpy);
    xShmDetachReq* req;
    GetReq(ShmDetach, req);
    req->reqType = CARD8(opcode);
    req->shmReqType = X_ShmDetach;
    req->shmseg = CARD32(segment);
    UnlockDisplay(dpy);
    SyncHandle();
}

// Copies the w x h area at (x, y) of image, whose pixels lie at offset in segment, to the same
// place in drawable; no completion event.
void shmPutImage(Display* dpy, int opcode, Drawable drawable, GC gc, const XImage* image,
                 XID segment, size_t offset, int x, int y, int w, int h) {
    LockDisplay(dpy);
    FlushGC(dpy, gc);
    xShmPutImageReq* req;
    GetReq(ShmPutImage, req);
    req->reqType = CARD8(opcode);
    req->shmReqType = X_ShmPutImage;
    req->drawable = CARD32(drawable);
    req->gc = CARD32(gc->gid);
    req->totalWidth = CARD16(image->width);
    req->totalHeight = CARD16(image->height);
    req->srcX = CARD16(x);
    req->srcY = CARD16(y);
    req->srcWidth = CARD16(w);
    req->srcHeight = CARD16(h);
    req->dstX = INT16(x);
    req->dstY = INT16(y);
    req->depth = CARD8(image->depth);
    req->format = CARD8(image->format);
    req->sendEvent = 0;
    req->shmseg = CARD32(segment);
    req->offset = CARD32(offset);
    UnlockDisplay(dpy);
    SyncHandle();
}

} // namespace quorvane::x11
