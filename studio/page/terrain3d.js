// The orbitable 3D view: the preview's heights as a mesh, draped with the
// relief picture of the same area. It draws only when something changed
// (new heights, a turn of the camera, a new size), never in a loop.
import * as THREE from "./three/three.module.js";
import { OrbitControls } from "./three/addons/controls/OrbitControls.js";

// How high a height of 1 stands, as a share of the area's width; heights
// span about -1 .. 1.
const VERTICAL = 0.05;

export class TerrainView {
  constructor(container) {
    this.container = container;
    // The buffer is kept so that the picture can be read back (a screenshot).
    this.renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
    this.renderer.setPixelRatio(window.devicePixelRatio);
    container.append(this.renderer.domElement);
    this.scene = new THREE.Scene();
    this.scene.background = new THREE.Color(0xdfe6ea);
    this.camera = new THREE.PerspectiveCamera(40, 1, 0.01, 100);
    this.camera.position.set(0, 1.9, 2.5);
    this.scene.add(new THREE.HemisphereLight(0xffffff, 0x506070, 1.6));
    const sun = new THREE.DirectionalLight(0xffffff, 1.4);
    sun.position.set(-1, 2, -1);
    this.scene.add(sun);
    this.controls = new OrbitControls(this.camera, this.renderer.domElement);
    this.controls.maxPolarAngle = Math.PI * 0.49;
    this.controls.addEventListener("change", () => this.draw());
    this.material = new THREE.MeshLambertMaterial({ color: 0xffffff, side: THREE.DoubleSide });
    this.mesh = null;
    this.north = northMark();
    this.scene.add(this.north);
    new ResizeObserver(() => this.resize()).observe(container);
    this.resize();
  }

  resize() {
    const width = this.container.clientWidth || 1;
    const height = this.container.clientHeight || 1;
    this.renderer.setSize(width, height, false);
    this.camera.aspect = width / height;
    this.camera.updateProjectionMatrix();
    this.draw();
  }

  draw() { this.renderer.render(this.scene, this.camera); }

  // Shows `grid` ({width, height, heights}, row 0 at the lower z edge, as
  // the server sends it) over an area `extentX` by `extentZ` wide, draped
  // with `picture` (a Blob of the relief, north at its top).
  async show(grid, extentX, extentZ, picture) {
    const image = await pictureOf(picture);
    const geometry = this.geometryFor(grid.width, grid.height, extentZ / extentX);
    const position = geometry.attributes.position;
    // The plane's vertex rows run from its far edge (the scene's -z) to its
    // near one, as the picture's rows run from its top: the far edge is the
    // north, the grid's last row. Columns run east, to the right.
    const { width, height } = grid;
    for (let row = 0; row < height; ++row) {
      const from = (height - 1 - row) * width;
      for (let x = 0; x < width; ++x) position.setY(row * width + x, grid.heights[from + x] * VERTICAL * 2);
    }
    position.needsUpdate = true;
    geometry.computeVertexNormals();
    geometry.computeBoundingSphere();
    if (this.material.map) this.material.map.dispose();
    const texture = new THREE.Texture(image);
    texture.colorSpace = THREE.SRGBColorSpace;
    texture.anisotropy = 4;
    texture.needsUpdate = true;
    this.material.map = texture;
    this.material.needsUpdate = true;
    // The N stands beyond the middle of the far (north) edge.
    this.north.position.set(0, 0.2, -geometry.parameters.height / 2 - 0.2);
    this.container.dataset.samples = `${grid.width}x${grid.height}`;
    this.draw();
  }

  // A plane of width x height vertices, 2 wide and 2 x `aspect` deep, lying
  // in the x-z plane; the last one is taken again when the shape is the same.
  geometryFor(width, height, aspect) {
    const depth = 2 * Math.min(Math.max(aspect, 0.05), 20);
    const old = this.mesh?.geometry;
    if (old && old.userData.key === `${width}x${height}x${depth}`) return old;
    const geometry = new THREE.PlaneGeometry(2, depth, width - 1, height - 1);
    geometry.rotateX(-Math.PI / 2);
    geometry.userData.key = `${width}x${height}x${depth}`;
    if (this.mesh) {
      this.scene.remove(this.mesh);
      old.dispose();
    }
    this.mesh = new THREE.Mesh(geometry, this.material);
    this.scene.add(this.mesh);
    return geometry;
  }
}

// A letter N that always faces the camera.
function northMark() {
  const canvas = document.createElement("canvas");
  canvas.width = canvas.height = 64;
  const context = canvas.getContext("2d");
  context.fillStyle = "#203040";
  context.font = "bold 52px sans-serif";
  context.textAlign = "center";
  context.textBaseline = "middle";
  context.fillText("N", 32, 34);
  const texture = new THREE.CanvasTexture(canvas);
  texture.colorSpace = THREE.SRGBColorSpace;
  const sprite = new THREE.Sprite(new THREE.SpriteMaterial({ map: texture, depthTest: false }));
  sprite.scale.set(0.2, 0.2, 1);
  return sprite;
}

async function pictureOf(blob) {
  const image = new Image();
  const url = URL.createObjectURL(blob);
  try {
    image.src = url;
    await image.decode();
  } finally {
    URL.revokeObjectURL(url);
  }
  return image;
}
