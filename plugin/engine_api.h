// The plug-in's table of engine script functions, resolved by name.
#pragma once

#include <cstddef>

#include "platform/engine_layout.h"

namespace loamwriter {

// Every engine function the binding resolves, in binding order. X(name) is
// expanded once per name; each name is also the name of its table entry.
// clang-format off
#define LOAMWRITER_ENGINE_FUNCTIONS(X) \
  X(_str) X(_vec) X(absv) X(accelerate) X(add_buffer) X(add_folder) X(add_resource) X(add_struct) X(ang) \
  X(ang_add) X(ang_for_bone) X(ang_rotate) X(acosv) X(asinv) X(atanv) X(atan2v) X(beep) X(bmap_create) \
  X(bmap_createblack) X(bmap_blit) X(bmap_fill) X(bmap_for_entity) X(bmap_for_screen) X(bmap_for_buffer) \
  X(bmap_height) X(bmap_lock) X(bmap_preload) X(bmap_purge) X(bmap_unlock) X(bmap_load) X(bmap_remove) \
  X(bmap_save) X(bmap_to_alpha) X(bmap_to_cubemap) X(bmap_to_mipmap) X(bmap_to_normals) X(bmap_to_format) \
  X(bmap_to_uv) X(bmap_width) X(button_state) X(c_content) X(c_rotate) X(c_scan) X(c_trace) X(c_move) \
  X(c_setminmax) X(c_updatehull) X(cd_pause) X(cd_play) X(cd_start) X(cd_track) X(clamp) X(client_drop) \
  X(client_drop_id) X(content) X(cosv) X(cycle) X(diag) X(diag_frame) X(diag_var) X(digits_set) \
  X(dll_open) X(draw_begin) X(draw_box3d) X(draw_line) X(draw_line3d) X(draw_point3d) X(draw_text) \
  X(draw_textmode) X(effect) X(effect_cpy) X(effect_load) X(effect_local) X(ent_animate) X(ent_blend) \
  X(ent_blendpose) X(ent_bonemove) X(ent_bonename) X(ent_bonereset) X(ent_bonereset_all) \
  X(ent_bonereset_branch) X(ent_bonerotate) X(ent_bonerotate_parent) X(ent_bones) X(ent_bonescale) \
  X(ent_create) X(ent_createlayer) X(ent_createlocal) X(ent_createterrain) X(ent_fixnormals) \
  X(ent_for_name) X(ent_frames) X(ent_mesh) X(ent_getmesh) X(ent_setmesh) X(ent_morph) X(ent_morphskin) \
  X(ent_move) X(ent_mtlset) X(ent_next) X(ent_playloop) X(ent_playsound) X(ent_preload) X(ent_purge) \
  X(ent_remove) X(ent_sendnow) X(ent_skins) X(ent_vertices) X(error) X(exec) X(execute) X(expv) X(facos) \
  X(fasin) X(fatan) X(fcos) X(file_asc_read) X(file_asc_write) X(file_chr_read) X(file_close) X(file_cpy) \
  X(file_delete) X(file_find) X(file_for_screen) X(file_length) X(file_load) X(file_open_append) \
  X(file_open_game) X(file_open_read) X(file_open_write) X(file_rename) X(file_save) X(file_seek) \
  X(file_str_read) X(file_str_readto) X(file_str_write) X(file_var_read) X(file_var_write) X(font_create) \
  X(font_remove) X(fsin) X(ftan) X(fraction) X(game_save) X(game_load) X(handle) X(integer) \
  X(key_for_str) X(key_pressed) X(key_set) X(layer_sort) X(level_load) X(level_mark) X(level_free) \
  X(logv) X(log10v) X(mat_effect) X(mat_identity) X(mat_inverse) X(mat_multiply) X(mat_scale) X(mat_set) \
  X(mat_transpose) X(maxv) X(media_loop) X(media_pause) X(media_play) X(media_playing) X(media_start) \
  X(media_stop) X(media_tune) X(minv) X(mtl_create) X(mtl_remove) X(pan_create) X(pan_remove) \
  X(pan_setbmap) X(pan_setevent) X(pan_setpos) X(pan_setvar) X(path_getedge) X(path_getnode) \
  X(path_length) X(path_next) X(path_nextnode) X(path_scan) X(path_scannode) X(path_set) X(path_setedge) \
  X(path_setnode) X(path_spline) X(pixel_for_bmap) X(pixel_to_bmap) X(pixel_for_vec) X(pixel_to_vec) \
  X(ph_selectgroup) X(ph_setgravity) X(ph_setcollisions) X(ph_setcontacts) X(ph_setcorrections) \
  X(ph_setautodisable) X(phent_settype) X(phent_addcentralforce) X(phent_addforceglobal) \
  X(phent_addforcelocal) X(phent_addtorqueglobal) X(phent_addtorquelocal) X(phent_getvelocity) \
  X(phent_clearvelocity) X(phent_setmass) X(phent_setfriction) X(phent_setmaxspeed) X(phent_setdamping) \
  X(phent_enable) X(phent_setgroup) X(phent_setelasticity) X(phent_getbounds) X(phcon_add) \
  X(phcon_remove) X(phcon_setparams1) X(phcon_setparams2) X(phcon_setmotor) X(phcon_getposition) \
  X(phent_makelocal) X(phent_addobstruction) X(phent_getangvelocity) X(phent_addvelcentral) \
  X(phent_addvelglobal) X(phent_addvellocal) X(port_in) X(port_out) X(powv) X(proc_client) X(proc_local) \
  X(proc_kill) X(proc_status) X(ptr_first) X(ptr_for_handle) X(random) X(randomize) X(rel_for_screen) \
  X(rel_to_screen) X(send_data_to) X(send_data_id) X(send_skill) X(send_string) X(send_string_to) \
  X(send_string_id) X(send_var) X(send_var_to) X(send_var_id) X(session_connect) X(session_open) X(sign) \
  X(sinv) X(snd_create) X(snd_remove) X(snd_loop) X(snd_pause) X(snd_play) X(snd_playing) X(snd_start) \
  X(snd_stop) X(snd_stopall) X(snd_tune) X(sqrtv) X(str_cat) X(str_cat_num) X(str_clip) X(str_cmp) \
  X(str_cmpi) X(str_cmpni) X(str_cpy) X(str_create) X(str_cursor) X(str_for_asc) X(str_for_entname) \
  X(str_for_entfile) X(str_for_key) X(str_for_num) X(str_len) X(str_lwr) X(str_remove) X(str_stri) \
  X(str_to_asc) X(str_to_num) X(str_trunc) X(str_upr) X(sys_exit) X(sys_metrics) X(sys_record) \
  X(sys_replay) X(tanv) X(timer) X(txt_create) X(txt_for_dir) X(txt_load) X(txt_remove) \
  X(txt_setinvisible) X(txt_setvisible) X(txt_sort) X(txt_str) X(trace) X(update) X(var_for_name) \
  X(vec_accelerate) X(vec_add) X(vec_diff) X(vec_dist) X(vec_dot) X(vec_inverse) X(vec_length) \
  X(vec_lerp) X(vec_normalize) X(vec_rotate) X(vec_scale) X(vec_set) X(vec_sub) X(vec_for_angle) \
  X(vec_to_angle) X(vec_for_bone) X(vec_for_normal) X(vec_for_vertex) X(vec_for_max) X(vec_for_mesh) \
  X(vec_for_min) X(vec_for_screen) X(vec_for_uv) X(vec_to_mesh) X(vec_to_screen) X(vec_to_uv) X(vector) \
  X(view_create) X(video_set) X(video_switch) X(video_window) X(breaks) X(engine_getobj) \
  X(engine_getfunc) X(engine_getscript) X(engine_callname4) X(engine_callscript4) X(engine_debugposition) \
  X(engine_debugbreakpoint)
// clang-format on

// One entry per engine function of the binding list, each holding the address
// the engine's lookup returned for the name (0 until bound). Entries are
// written only by Bind; the plug-in calls bmap_lock, bmap_width, bmap_height
// and bmap_unlock and keeps the others for completeness.
struct EngineApi {
#define LOAMWRITER_ENGINE_ENTRY(name) engine::EngineAddress name = 0;
  LOAMWRITER_ENGINE_FUNCTIONS(LOAMWRITER_ENGINE_ENTRY)
#undef LOAMWRITER_ENGINE_ENTRY

  // Asks `lookup` for every name of the binding list, in order, and stores
  // each answer as it comes; nothing is checked. A null lookup binds nothing.
  void Bind(engine::LookupByName lookup);

  // The four functions the exports call, or null where the entry is unbound.
  engine::BmapLockFunction BmapLock() const;
  engine::BmapSizeFunction BmapWidth() const;
  engine::BmapSizeFunction BmapHeight() const;
  engine::BmapUnlockFunction BmapUnlock() const;
};

// One name of the binding list with its entry in EngineApi.
struct EngineBinding {
  const char* name;
  engine::EngineAddress EngineApi::*entry;
};

// Number of names in the binding list.
constexpr size_t kEngineBindingCount = 344;

// The binding list, kEngineBindingCount names in binding order.
const EngineBinding* EngineBindingList();

// The table the binding entry fills and the exports read.
extern EngineApi engineApi;

}  // namespace loamwriter
