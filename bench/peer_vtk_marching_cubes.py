#!/usr/bin/env python3
# Peer figures for the marching-cubes benchmark: VTK (python3-vtk9) on the same 120^3 orbital grid and level as
# bench_surfaces, single-threaded. Run by scripts/bench when VTK and numpy are installed.
import numpy as np, vtk
from vtk.util import numpy_support
n=120; h=0.2; o=-0.5*n*h
idx=np.arange(n)*h+o
x,y,z=np.meshgrid(idx,idx,idx,indexing='ij')
v=(x*np.exp(-np.sqrt(x*x+y*y+z*z)/1.6)).astype(np.float32)
img=vtk.vtkImageData(); img.SetDimensions(n,n,n); img.SetSpacing(h,h,h); img.SetOrigin(o,o,o)
# vtk wants x fastest: transpose so that index = i + n*(j + n*k)
arr=numpy_support.numpy_to_vtk(v.transpose(2,1,0).ravel(), deep=True)
img.GetPointData().SetScalars(arr)
for cls in (vtk.vtkMarchingCubes, vtk.vtkFlyingEdges3D):
    mc=cls(); mc.SetInputData(img); mc.SetValue(0,0.01); mc.ComputeNormalsOff(); mc.Update()
    print(cls.__name__, "triangles", mc.GetOutput().GetNumberOfPolys())
import time
for cls in (vtk.vtkMarchingCubes, vtk.vtkFlyingEdges3D):
    best=1e9
    for r in range(5):
        mc=cls(); mc.SetInputData(img); mc.SetValue(0,0.01); mc.ComputeNormalsOff()
        t=time.perf_counter(); mc.Update(); best=min(best,time.perf_counter()-t)
    print(cls.__name__, 'ms', round(best*1000,1))
