// The orbitable 3D view: the preview's heights as a mesh, draped with the
// relief picture of the same area. It draws only when something changed
// (new heights, a turn of the camera, a new size), never in a loop.
import * as THREE from "./three/three.module.js";
import { OrbitControls } from "./three/addons/controls/OrbitControls.js";

// Without a height scale, heights span this share of the terrain's larger
// side, as the exports make them by default.
const DEFAULT_SPAN_SHARE = 0.1;

// The world a preview stands for: the export's `columns` x `rows` samples
// `spacing` apart, heights times `heightScale` (null for the default).
// Answers [x extent, z extent, height span] and the scale the heights take.
export function worldOf(heights, { columns, rows, spacing, heightScale }) {
  let lowest = Infinity;
  let highest = -Infinity;
  for (const h of heights) {
    if (h < lowest) lowest = h;
    if (h > highest) highest = h;
  }
  const extentX = Math.max(columns - 1, 0) * spacing;
  const extentZ = Math.max(rows - 1, 0) * spacing;
  const span = highest - lowest;
  const side = Math.max(extentX, extentZ);
  const scale = heightScale ?? (span > 0 && side > 0 ? (DEFAULT_SPAN_SHARE * side) / span : 1);
  return { extent: [extentX, extentZ, span * scale], scale, middle: (lowest + highest) / 2 };
}

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
  // the server sends it) as the world `world` describes (see worldOf),
  // draped with `picture` (a Blob of the relief, north at its top). The
  // scene keeps the world's proportions, its larger side 2 wide. Answers
  // the world's extent.
  async show(grid, world, picture) {
    const image = await pictureOf(picture);
    const { extent, scale, middle } = worldOf(grid.heights, world);
    const larger = Math.max(extent[0], extent[1]) || 1;
    const unit = 2 / larger;
    const geometry = this.geometryFor(grid.width, grid.height, Math.max(extent[0] * unit, 0.02),
      Math.max(extent[1] * unit, 0.02));
    const position = geometry.attributes.position;
    // The plane's vertex rows run from its far edge (the scene's -z) to its
    // near one, as the picture's rows run from its top: the far edge is the
    // north, the grid's last row. Columns run east, to the right.
    const { width, height } = grid;
    for (let row = 0; row < height; ++row) {
      const from = (height - 1 - row) * width;
      for (let x = 0; x < width; ++x) {
        position.setY(row * width + x, (grid.heights[from + x] - middle) * scale * unit);
      }
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
    this.container.dataset.extent = extent.join(" ");
    this.draw();
    return extent;
  }

  // A plane of width x height vertices, `planeWidth` wide and `planeDepth`
  // deep, lying in the x-z plane; the last one is taken again when the
  // shape is the same.
  geometryFor(width, height, planeWidth, planeDepth) {
    const key = `${width}x${height}x${planeWidth}x${planeDepth}`;
    const old = this.mesh?.geometry;
    if (old && old.userData.key === key) return old;
    const geometry = new THREE.PlaneGeometry(planeWidth, planeDepth, width - 1, height - 1);
    geometry.rotateX(-Math.PI / 2);
    geometry.userData.key = key;
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
