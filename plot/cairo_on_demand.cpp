// cairo's functions that Pellix draws with, for a program that loads cairo only when it first
// draws (see platform/on_demand_library.h). Each looks up the real function on its first call;
// without cairo, drawing fails as a plot that cannot be written does (75), with the reason.
#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <string>

#include "files/file_error.h"
#include "platform/on_demand_library.h"

namespace {

constexpr pellix::OnDemandStandIns<pellix::FileError> kCairo{
    "libcairo.so.2", pellix::FileError::Message, pellix::kPathFileAccessError,
    "cannot draw pictures: "};

}  // namespace

#define PELLIX_CAIRO_CALL(name, ...) PELLIX_ON_DEMAND_CALL(kCairo, name, __VA_ARGS__)

extern "C" {

cairo_surface_t* cairo_image_surface_create(cairo_format_t format, int width, int height) {
  PELLIX_CAIRO_CALL(cairo_image_surface_create, format, width, height);
}
cairo_surface_t* cairo_pdf_surface_create(const char* filename, double width, double height) {
  PELLIX_CAIRO_CALL(cairo_pdf_surface_create, filename, width, height);
}
cairo_surface_t* cairo_svg_surface_create(const char* filename, double width, double height) {
  PELLIX_CAIRO_CALL(cairo_svg_surface_create, filename, width, height);
}
cairo_status_t cairo_surface_status(cairo_surface_t* surface) {
  PELLIX_CAIRO_CALL(cairo_surface_status, surface);
}
cairo_status_t cairo_surface_write_to_png(cairo_surface_t* surface, const char* filename) {
  PELLIX_CAIRO_CALL(cairo_surface_write_to_png, surface, filename);
}
void cairo_surface_finish(cairo_surface_t* surface) {
  PELLIX_CAIRO_CALL(cairo_surface_finish, surface);
}
void cairo_surface_destroy(cairo_surface_t* surface) {
  PELLIX_CAIRO_CALL(cairo_surface_destroy, surface);
}
cairo_t* cairo_create(cairo_surface_t* target) {
  PELLIX_CAIRO_CALL(cairo_create, target);
}
void cairo_destroy(cairo_t* cr) {
  PELLIX_CAIRO_CALL(cairo_destroy, cr);
}
cairo_status_t cairo_status(cairo_t* cr) {
  PELLIX_CAIRO_CALL(cairo_status, cr);
}
const char* cairo_status_to_string(cairo_status_t status) {
  PELLIX_CAIRO_CALL(cairo_status_to_string, status);
}
void cairo_set_source_rgb(cairo_t* cr, double red, double green, double blue) {
  PELLIX_CAIRO_CALL(cairo_set_source_rgb, cr, red, green, blue);
}
void cairo_set_line_width(cairo_t* cr, double width) {
  PELLIX_CAIRO_CALL(cairo_set_line_width, cr, width);
}
void cairo_set_dash(cairo_t* cr, const double* dashes, int num_dashes, double offset) {
  PELLIX_CAIRO_CALL(cairo_set_dash, cr, dashes, num_dashes, offset);
}
void cairo_move_to(cairo_t* cr, double x, double y) {
  PELLIX_CAIRO_CALL(cairo_move_to, cr, x, y);
}
void cairo_line_to(cairo_t* cr, double x, double y) {
  PELLIX_CAIRO_CALL(cairo_line_to, cr, x, y);
}
void cairo_rectangle(cairo_t* cr, double x, double y, double width, double height) {
  PELLIX_CAIRO_CALL(cairo_rectangle, cr, x, y, width, height);
}
void cairo_arc(cairo_t* cr, double xc, double yc, double radius, double angle1, double angle2) {
  PELLIX_CAIRO_CALL(cairo_arc, cr, xc, yc, radius, angle1, angle2);
}
void cairo_stroke(cairo_t* cr) {
  PELLIX_CAIRO_CALL(cairo_stroke, cr);
}
void cairo_fill(cairo_t* cr) {
  PELLIX_CAIRO_CALL(cairo_fill, cr);
}
void cairo_paint(cairo_t* cr) {
  PELLIX_CAIRO_CALL(cairo_paint, cr);
}
void cairo_select_font_face(cairo_t* cr, const char* family, cairo_font_slant_t slant,
                            cairo_font_weight_t weight) {
  PELLIX_CAIRO_CALL(cairo_select_font_face, cr, family, slant, weight);
}
void cairo_set_font_size(cairo_t* cr, double size) {
  PELLIX_CAIRO_CALL(cairo_set_font_size, cr, size);
}
void cairo_show_text(cairo_t* cr, const char* utf8) {
  PELLIX_CAIRO_CALL(cairo_show_text, cr, utf8);
}
void cairo_text_extents(cairo_t* cr, const char* utf8, cairo_text_extents_t* extents) {
  PELLIX_CAIRO_CALL(cairo_text_extents, cr, utf8, extents);
}

}  // extern "C"
